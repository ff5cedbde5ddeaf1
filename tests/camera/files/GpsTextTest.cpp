#include "GpsText.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GpsText, ShortGllSentenceHasNoTimeLine) {
    const auto text = GpsText::Format("Studio\n$GPGLL,4916.45,N,12311.12,W,225444,A");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "Lat: 4916.45,N\rLon: 12311.12,W\rUTC: ******\r");
}

TEST(GpsText, LongGllSentenceCarriesTheTime) {
    const auto text = GpsText::Format("$GPGLL,4916.4500,N,12311.1200,W,225444.00,A");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "Lat: 4916.4500,N\rLon: 12311.1200,W\rUTC: 225444.00,A\r");
}

TEST(GpsText, GgaSentences) {
    const auto full = GpsText::Format("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, "UTC: 123519\rLat: 4807.038,N\rLon: 01131.000,E\rAlt: 545.4,M\r");
    const auto noTime = GpsText::Format("$GPGGA,,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
    ASSERT_TRUE(noTime);
    EXPECT_EQ(noTime->substr(0, 6), "\rLat: ") << "an empty time field gives an empty first line";
    EXPECT_FALSE(GpsText::Format("$GPGGA,,,")) << "time and latitude both empty";
    EXPECT_FALSE(GpsText::Format("$GPGGA,123519,4807.038,N")) << "a missing field";
}

TEST(GpsText, NothingWithoutASentence) {
    EXPECT_FALSE(GpsText::Format("Lat: 1 Lon: 2"));
    EXPECT_FALSE(GpsText::Format(""));
}

namespace {

// Eight hex digits holding a single in the record's pair order (bytes 2, 3, 0, 1).
std::string Hex(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint8_t b[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
    char out[9];
    std::snprintf(out, sizeof out, "%02X%02X%02X%02X", b[2], b[3], b[0], b[1]);
    return out;
}

std::string Plgr(float lat, float lon, float alt) {
    std::string r = "PLGR" + std::string(40, '0');
    r += Hex(lat) + Hex(lon) + std::string(24, '0') + Hex(alt);
    return r;
}

} // namespace

TEST(GpsText, PlgrRecordDecodesSinglesInPairOrder) {
    const double radians = -48.5 / (0.25 * 180.0 / 3.14159265358979323846);
    const auto text = GpsText::Format("x " + Plgr(float(radians), float(radians / -2), 400.0f));
    ASSERT_TRUE(text);
    // A single carries about seven digits: the minutes' last place is not exact.
    int latDeg = 0, lonDeg = 0;
    double latMin = 0, lonMin = 0, alt = 0;
    char ns = 0, ew = 0;
    ASSERT_EQ(std::sscanf(text->c_str(), "Lat: %2d%lf,%c\rLon: %2d%lf,%c\rAlt: %lfm\r", &latDeg, &latMin, &ns, &lonDeg,
                          &lonMin, &ew, &alt),
              7)
        << *text;
    EXPECT_EQ(latDeg, 48);
    EXPECT_NEAR(latMin, 30.0, 0.001);
    EXPECT_EQ(ns, 'S');
    EXPECT_EQ(lonDeg, 24);
    EXPECT_NEAR(lonMin, 15.0, 0.001);
    EXPECT_EQ(ew, 'E');
    EXPECT_NE(text->find("Alt:   100.00m\r"), std::string::npos);
    // Cut short or with a non-hex digit: no PLGR lines, and nothing read past the text.
    EXPECT_FALSE(GpsText::Format(Plgr(1, 1, 1).substr(0, 90)));
    std::string bad = Plgr(1, 1, 1);
    bad[50] = 'g';
    EXPECT_FALSE(GpsText::Format(bad));
}

TEST(GpsText, ReplaceKeepsTheSecondStringAndStaysInsideTheBuffer) {
    char buffer[48] = {};
    const char first[] = "Shot 12 $GPGLL,1,N,2,W";
    std::memcpy(buffer, first, sizeof first);
    std::memcpy(buffer + sizeof first, "tail\n", 6);
    GpsText::Replace(buffer, sizeof buffer, "Lat: 1,N\nLon: 2,W\r");
    EXPECT_STREQ(buffer, "Shot 12 Lat: 1,N\rLon: 2,W\r");
    EXPECT_STREQ(buffer + std::strlen(buffer) + 1, "tail\r");

    char small[16] = "ab $GPGLL";
    const char guard[] = "GUARD";
    char after[sizeof guard];
    std::memcpy(after, guard, sizeof guard);
    GpsText::Replace(small, sizeof small, std::string(100, 'x'));
    EXPECT_EQ(small[15], '\0');
    EXPECT_EQ(std::strlen(small), 15u);
    EXPECT_STREQ(after, "GUARD");
}

TEST(GpsText, DateTextJoinsTheLines) {
    const int16_t date[9] = {5, 4, 3, 2, 0, 107, 0, 0, 0};
    EXPECT_EQ(GpsText::BuildDateText(date, "Lat: 1,N\r\rLon: 2,W\n"),
              "Date: 01/02/2007  Time: 03:04:05  Lat: 1,N  Lon: 2,W");
}
