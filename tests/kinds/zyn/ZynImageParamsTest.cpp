// Process parameters of the older raw files both ways through the camera
// interface: sets sent and read back, the at-capture, automatic and custom
// sets, the white-balance points, validation in its order of codes, and the
// rectangles under rotation.
#include "ZynTestSupport.h"

#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"
#include "ZynImage.h"
#include "ZynSDKLookDesc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;
using P = ImageProcessParam;
using Triple = ZynImage::Triple;

Triple TripleOf(const uint16_t t[3]) { return Triple{t[0], t[1], t[2]}; }

// A version-3 file that measured its balance (so the automatic balance is
// offered), with the chroma filter.
ZyrSampleOptions MeasuredOptions() {
    ZyrSampleOptions o = FixtureOptions(Fixture::Family1);
    o.version = 0x03000000;
    o.measuredBalance = true;
    o.chromaLayout = 0;
    return o;
}

// The custom balance point of tag 2124 as the test writes it, in a file
// with two looks.
RawEdit CustomTag(std::vector<std::pair<uint32_t, uint32_t>> values) {
    return [values](ZyrWriter& w, const ZyrSample::Ifds& ifds) {
        Looks(2)(w, ifds);
        w.Remove(ifds.privateIfd, 2124);
        if (!values.empty()) w.Rationals(ifds.privateIfd, 2124, values);
    };
}

TEST(ZynImageParamsTest, SetsSentAndReadBackKeepTheirSettings) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image = OpenFile(WriteRaw(files, "M.ZYR", MeasuredOptions(), CustomTag({{2000, 1}, {2100, 1}, {1900, 1}})));
    ZynImage* zyn = Zyn(image);
    ASSERT_NE(zyn, nullptr);
    const P start = *zyn->GetProcessParams();
    ASSERT_EQ(TripleOf(start.customBalance), (Triple{2000, 2100, 1900})) << "the custom point of tag 2124";

    ASSERT_NE(TripleOf(start.autoBalance), (Triple{0, 0, 0})) << "the measured point";
    const std::vector<int> modes = zyn->GetNoiseReductionModes();
    ASSERT_FALSE(modes.empty());
    const int noise = modes.back();
    struct Row {
        const char* what;
        std::function<void(P&)> change;
    };
    const Row rows[] = {
        {"tungsten", [](P& p) { p.lighting = 1, p.balanceType = 1; }},
        {"flash, darker", [](P& p) { p.lighting = 3, p.balanceType = 3, p.exposureCompensation = -1.5f; }},
        {"click", [](P& p) { p.lighting = 2, p.balanceType = 6, p.SetClickBalance(1200, 1000, 900); }},
        {"custom", [](P& p) { p.lighting = 0, p.balanceType = 4; }},
        // The automatic point is the one the file measured, whatever was sent.
        {"automatic", [](P& p) { p.lighting = 0, p.balanceType = 5; }},
        {"noise and exposure", [&](P& p) { p.noiseReductionMode = noise, p.exposureCompensation = 2.0f; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        P sent = start;
        row.change(sent);
        ASSERT_EQ(CodeOf([&] { zyn->SetProcessParamsInImageExceptWindow(sent); }), 0);
        ASSERT_EQ(CodeOf([&] { zyn->ReadProcessParamsFromFile(); }), 0);
        const P& back = *zyn->GetProcessParams();
        EXPECT_EQ(back.balanceType, sent.balanceType);
        EXPECT_EQ(back.lighting, sent.lighting);
        EXPECT_EQ(back.exposureCompensation, sent.exposureCompensation);
        EXPECT_EQ(back.noiseReductionMode, sent.noiseReductionMode);
        EXPECT_EQ(back.lookName, sent.lookName);
        if (sent.balanceType == 6) {
            EXPECT_EQ(TripleOf(back.clickBalance), TripleOf(sent.clickBalance));
        } else if (sent.balanceType == 5) {
            EXPECT_EQ(TripleOf(back.autoBalance), TripleOf(sent.autoBalance));
        } else if (sent.balanceType == 4) {
            EXPECT_EQ(TripleOf(back.customBalance), TripleOf(sent.customBalance));
        }
        EXPECT_EQ(back.crop, zyn->GetNativeImageRect());
        zyn->SetProcessParams(start);
    }
    // A file with the camera's second look (this one's table holds one).
    ImageRef twoLooks = OpenFile(WriteFixture(files, "L.ZYR", Fixture::Family1));
    P look = *twoLooks->GetProcessParams();
    look.SetLook(ZynImage::GetLookDesc(ZynImage::PortraitLook)->Name());
    Zyn(twoLooks)->SetProcessParamsInImageExceptWindow(look);
    twoLooks->ReadProcessParamsFromFile();
    EXPECT_EQ(twoLooks->GetProcessParams()->lookName, look.lookName);

    // The crop comes back from the interface's window, turned back into the
    // image's own orientation.
    zyn->SetOutputWindow(NbRect(8, 4, 71, 51));
    zyn->ReadProcessParamsFromFile();
    EXPECT_EQ(zyn->GetProcessParams()->crop, NbRect(8, 4, 71, 51));
    zyn->SetRotation(90.0f);
    zyn->ReadProcessParamsFromFile();
    EXPECT_EQ(zyn->GetProcessParams()->rotation, 90.0f);
    EXPECT_EQ(zyn->GetProcessParams()->crop, NbRect(8, 4, 71, 51));
}

// The oldest models take a balance the camera or a click defined with the
// white balance switched off, and have no balance kind to set.
TEST(ZynImageParamsTest, TheOldestModelsSendCameraAndClickBalancesDisabled) {
    lumora::test::TempFolder files;
    KindsScope scope;
    auto* zyn = new ZynImage(FilePathSpec(factorytest::WriteOldestRaw(files, "OLD.ZYR")));
    ImageRef held(zyn);
    ASSERT_EQ(zyn->Open(true), 0);
    if (!zyn->CanClickBalance()) GTEST_SKIP() << "the oldest sample is not a colour file";
    const int kindBefore = zyn->GetBalanceKind();
    const struct {
        int type;
        uint32_t enabled, custom;
    } cases[] = {{1, 1, 0}, {4, 0, 1}, {5, 0, 1}, {6, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        P p = *zyn->GetProcessParams();
        p.lighting = 1;
        p.balanceType = c.type;
        p.SetClickBalance(1200, 1000, 900);
        ASSERT_EQ(CodeOf([&] { zyn->SetProcessParamsInImageExceptWindow(p); }), 0);
        ImageInfoRecord info = zyn->GetInfoRecord();
        uint32_t balance[8] = {};
        ASSERT_EQ(VqGetExtension(&info, 20, balance), 0u);
        EXPECT_EQ(balance[0], c.enabled);
        EXPECT_EQ(balance[2], c.custom);
        EXPECT_EQ(zyn->GetBalanceKind(), kindBefore);
    }
}

// The edge cases of reading and of the rectangle rules, one row each.
TEST(ZynImageParamsTest, EdgeCases) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef colour = OpenFile(WriteFixture(files, "C.ZYR", Fixture::Family1));
    ImageRef gray = OpenFile(WriteFixture(files, "G.ZYR", Fixture::Mono));
    ZynImage* zyn = Zyn(colour);

    // A grayscale file: no lighting, no balance; a set of type 7 is valid.
    const P& g = *gray->GetProcessParams();
    EXPECT_EQ(std::make_tuple(g.lighting, g.lightingIndex, g.balanceType), std::make_tuple(6, 6, 7));
    EXPECT_EQ(gray->ValidateProcessParams(g), P::Valid);

    // A click balance of (0, 0, 0): the interface keeps the custom flag, and
    // the set reads back as the balance of its lighting.
    P click = *zyn->GetProcessParams();
    click.lighting = 2;
    click.balanceType = 6;
    click.SetClickBalance(0, 0, 0);
    zyn->SetProcessParamsInImageExceptWindow(click);
    zyn->ReadProcessParamsFromFile();
    EXPECT_EQ(zyn->GetProcessParams()->balanceType, zyn->BalanceTypeForLighting(2));
    EXPECT_EQ(zyn->GetProcessParams()->balanceType, 2);

    // A stored sharpening amount of 25 is out of range: the preset of type 2.
    ImageInfoRecord info = zyn->GetInfoRecord();
    ASSERT_EQ(VqSetExtension(&info, 38, reinterpret_cast<void*>(uintptr_t(25)), 10, 3, 0, 0), 0u);
    zyn->ReadProcessParamsFromFile();
    int32_t preset2[3];
    zyn->GetSharpenPreset(2, preset2);
    const P& sharpened = *zyn->GetProcessParams();
    EXPECT_EQ(std::make_tuple(sharpened.sharpenAmount, sharpened.sharpenRadius, sharpened.sharpenThreshold),
              std::make_tuple(preset2[0], preset2[1], preset2[2]));
    EXPECT_EQ(sharpened.sharpenMode, 0);

    // Output windows turned back into crops of a 3000 x 2000 image.
    const struct {
        NbRect window;  // x, y as left and top; width and height from right and bottom
        int rotation;
        NbRect crop;
    } windows[] = {
        {NbRect(100, 50, 1099, 649), 90, NbRect(50, 900, 649, 1899)},
        {NbRect(101, 50, 1100, 649), 90, NbRect(0, 0, 2999, 1999)},  // odd top: the whole image
        {NbRect(100, 50, 1099, 649), 0, NbRect(100, 50, 1099, 649)},
        {NbRect(100, 50, 1099, 649), 180, NbRect(1900, 1350, 2899, 1949)},
        {NbRect(100, 50, 1099, 649), 270, NbRect(2350, 100, 2949, 1099)},
        {NbRect(100, 50, 1099, 2049), 0, NbRect(0, 0, 2999, 1999)},  // past the bottom
        {NbRect(100, 50, 1098, 649), 0, NbRect(0, 0, 2999, 1999)},   // odd width: an even right
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(testing::Message() << "rotation " << w.rotation << " at " << w.window.left);
        EXPECT_EQ(ZynImage::CropFromOutputWindow(w.window, w.rotation, 3000, 2000), w.crop);
    }

    // Rectangles kept inside the 128 x 96 image, on even pixels, 8 at least.
    const struct {
        NbRect in, out;
    } clamps[] = {
        {NbRect(10, 10, 16, 29), NbRect(10, 10, 17, 29)},    // 7 wide: 8
        {NbRect(11, 10, 26, 29), NbRect(10, 10, 25, 29)},    // odd left: one earlier
        {NbRect(10, 10, 24, 29), NbRect(10, 10, 23, 29)},    // 15 wide: 14
        {NbRect(100, 0, 139, 9), NbRect(88, 0, 127, 9)},     // past the right: moved in
        {NbRect(0, 0, 199, 9), NbRect(0, 0, 127, 9)},        // wider than the image
        {NbRect(-6, -4, 9, 9), NbRect(0, 0, 15, 13)},        // before the image: moved in
    };
    for (const auto& c : clamps) {
        NbRect r = c.in;
        zyn->ClampRectToImage(r);
        EXPECT_EQ(r, c.out) << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom;
    }

    // Rotations and crops in the 128 x 96 image.
    const struct {
        NbRect rect;
        float angle, frame;
        int code;
        NbRect out;
    } maps[] = {
        {NbRect(0, 0, 15, 7), 45.0f, 0.0f, P::RotationNotQuarter, NbRect()},
        {NbRect(0, 0, 15, 7), 90.5f, 0.0f, P::RotationNotWhole, NbRect()},
        {NbRect(2, 4, 17, 11), 90.0f, 0.0f, P::Valid, NbRect(84, 2, 91, 17)},
        {NbRect(2, 4, 17, 11), 180.0f, 0.0f, P::Valid, NbRect(110, 84, 125, 91)},
        {NbRect(2, 4, 17, 11), 270.0f, 0.0f, P::Valid, NbRect(4, 110, 11, 125)},
        {NbRect(84, 2, 91, 17), 270.0f, 90.0f, P::Valid, NbRect(2, 4, 17, 11)},  // and back
        {NbRect(121, 0, 127, 7), 0.0f, 0.0f, P::CropOutside, NbRect()},         // left past W - 8
        {NbRect(0, 0, 127, 96), 0.0f, 0.0f, P::CropOutside, NbRect()},          // bottom at H
        {NbRect(-2, 0, 15, 7), 0.0f, 0.0f, P::CropOutside, NbRect()},           // before the image
        {NbRect(20, 0, 15, 7), 0.0f, 0.0f, P::CropOutside, NbRect()},           // inside out
        {NbRect(1, 0, 16, 7), 0.0f, 0.0f, P::CropMisaligned, NbRect()},         // odd left
        {NbRect(0, 0, 14, 7), 0.0f, 0.0f, P::CropMisaligned, NbRect()},         // odd width
        {NbRect(0, 0, 95, 127), 0.0f, 90.0f, P::Valid, NbRect(0, 0, 95, 127)},  // a turned frame
    };
    for (const auto& m : maps) {
        SCOPED_TRACE(testing::Message() << m.angle << " in frame " << m.frame);
        NbRect out(1, 1, 1, 1);
        EXPECT_EQ(zyn->MapRectBetweenRotations(m.rect, m.angle, &out, m.frame), m.code);
        EXPECT_EQ(out, m.out);
    }

    // Click sample windows: 16 x 16, starting 8 before the click rounded up
    // to even, inside the image.
    const struct {
        int x, y;
        SdkRect window;
    } clicks[] = {
        {3, 3, {0, 0, 16, 16}},
        {40, 31, {32, 24, 16, 16}},
        {127, 95, {112, 80, 16, 16}},
        {-20, 500, {0, 80, 16, 16}},
    };
    for (const auto& c : clicks) {
        const SdkRect w = ZynImage::ClickSampleWindow(c.x, c.y, 128, 96);
        EXPECT_EQ(std::make_tuple(w.x, w.y, w.width, w.height),
                  std::make_tuple(c.window.x, c.window.y, c.window.width, c.window.height))
            << c.x << "," << c.y;
    }

    // Balance points: usable, or (0, 0, 0).
    const struct {
        Triple in, out;
    } points[] = {
        {{1000, 900, 1100}, {1000, 900, 1100}},
        {{1000, 0, 1100}, {0, 0, 0}},
        {{4095, 4095, 4095}, {0, 0, 0}},
        {{4095, 4095, 4094}, {4095, 4095, 4094}},
        {{5, 5, 5}, {5, 5, 5}},
    };
    for (const auto& p : points) EXPECT_EQ(ZynImage::UsableBalancePoint(p.in), p.out);
}

TEST(ZynImageParamsTest, ClickBalanceSamplesAroundTheClick) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image = OpenFile(WriteFixture(files, "C.ZYR", Fixture::Family1));
    ZynImage* zyn = Zyn(image);
    // What the interface measures in the window at the image's corner.
    ImageInfoRecord info = zyn->GetInfoRecord();
    const SdkRect corner{0, 0, 16, 16};
    uint16_t measured[3] = {0, 0, 0};
    const uint32_t status = VqCalculateWhiteBalance(&info, &corner, measured);
    uint16_t got[3] = {0, 0, 0};
    const int code = CodeOf([&] { zyn->CalculateClickBalance(3, 3, &got[0], &got[1], &got[2]); });
    if (status == VQ_ERR_SAMPLE_SATURATED) {
        EXPECT_EQ(code, NbErrClickPointSaturated);
    } else if (measured[0] > 5 && measured[1] > 5 && measured[2] > 5) {
        EXPECT_EQ(code, 0);
        EXPECT_EQ(TripleOf(got), TripleOf(measured));
    } else {
        EXPECT_EQ(code, NbErrClickPointTooDark);
    }
    ImageRef gray = OpenFile(WriteFixture(files, "G.ZYR", Fixture::Mono));
    EXPECT_EQ(CodeOf([&] { gray->CalculateClickBalance(40, 40, &got[0], &got[1], &got[2]); }),
              NbErrClickBalanceNeedsColor);
}

// A colour file whose every photosite holds the same 12-bit level.
ZyrSampleOptions FlatOptions(uint16_t level) {
    ZyrSampleOptions o = FixtureOptions(Fixture::Family1);
    o.codedSensorData.assign(size_t(o.sensorWidth) * o.sensorHeight * 2, 0);
    const uint16_t word = uint16_t(level << 4);
    for (size_t i = 0; i < o.codedSensorData.size(); i += 2) {
        o.codedSensorData[i] = uint8_t(word >> 8);
        o.codedSensorData[i + 1] = uint8_t(word & 0xFF);
    }
    o.compression = 1;
    return o;
}

// The sampled point of a flat file is its level: 5 is too dark, 6 is a
// balance point, and a clipped sensor is saturated.
TEST(ZynImageParamsTest, ClickBalanceOnFlatFiles) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const struct {
        uint16_t level;
        int code;
        Triple sample;
    } cases[] = {
        {0, NbErrClickPointTooDark, {}},
        {5, NbErrClickPointTooDark, {}},
        {6, 0, {6, 6, 6}},
        {4095, NbErrClickPointSaturated, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        ImageRef image = OpenFile(WriteRaw(files, "F" + std::to_string(c.level) + ".ZYR", FlatOptions(c.level), Looks(2)));
        uint16_t got[3] = {0, 0, 0};
        EXPECT_EQ(CodeOf([&] { image->CalculateClickBalance(40, 40, &got[0], &got[1], &got[2]); }), c.code);
        EXPECT_EQ(TripleOf(got), c.sample);
    }
}

TEST(ZynImageParamsTest, BalancePointsFromTheFileUseOnlyWhatItHolds) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const struct {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> values;
        Triple expected;
    } cases[] = {
        {"three values", {{4000, 2}, {2100, 1}, {1900, 1}}, {2000, 2100, 1900}},
        // Fewer than three values: no third value is read from beyond the tag.
        {"two values", {{2000, 1}, {2100, 1}}, {0, 0, 0}},
        {"one value", {{2000, 1}}, {0, 0, 0}},
        {"not measured", {{4095, 1}, {4095, 1}, {4095, 1}}, {0, 0, 0}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageRef image =
            OpenFile(WriteRaw(files, "T" + std::to_string(n++) + ".ZYR", FixtureOptions(Fixture::Family1), CustomTag(c.values)));
        EXPECT_EQ(Zyn(image)->GetBalancePointFromTag(2124), c.expected);
        EXPECT_EQ(TripleOf(image->GetProcessParams()->customBalance), c.expected);
    }
}

TEST(ZynImageParamsTest, TheAtCaptureAutomaticAndCustomSets) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image = OpenFile(WriteRaw(files, "M.ZYR", MeasuredOptions(), CustomTag({{2000, 1}, {2100, 1}, {1900, 1}})));
    ZynImage* zyn = Zyn(image);
    const std::vector<int> types = zyn->GetSupportedBalanceTypes();
    ASSERT_NE(std::find(types.begin(), types.end(), 5), types.end()) << "the file offers the automatic balance";
    P current = *zyn->GetProcessParams();
    current.lighting = 1;
    current.balanceType = 1;
    current.exposureCompensation = 1.0f;
    zyn->SetProcessParams(current);
    zyn->SetProcessParamsInImageExceptWindow(current);

    const P at = zyn->GetAtCaptureParams();
    EXPECT_EQ(at.lighting, 4);
    EXPECT_EQ(at.balanceType, zyn->BalanceTypeForLighting(4));
    EXPECT_EQ(at.exposureCompensation, 0.0f);
    EXPECT_EQ(at.sharpenMode, 0);
    uint32_t camera[8] = {};
    ImageInfoRecord info = zyn->GetInfoRecord();
    ASSERT_EQ(VqGetExtension(&info, 43, camera), 0u);
    EXPECT_EQ(std::make_tuple(at.sharpenAmount, at.sharpenRadius, at.sharpenThreshold),
              std::make_tuple(int32_t(camera[0]), int32_t(camera[1]), int32_t(camera[2])))
        << "the camera's own sharpening";

    const P automatic = zyn->GetAutoParams();
    EXPECT_EQ(automatic.lighting, 5);
    EXPECT_EQ(automatic.balanceType, 5);
    EXPECT_TRUE(*zyn->GetProcessParams() == current) << "the image keeps its own set";
    uint32_t balance[8] = {};
    info = zyn->GetInfoRecord();
    ASSERT_EQ(VqGetExtension(&info, 20, balance), 0u);
    EXPECT_EQ(balance[1], 1u) << "and the interface has it again";

    const P custom = zyn->GetCustomParams();
    EXPECT_EQ(custom.balanceType, 4);
    EXPECT_EQ(custom.lighting, current.lightingIndex);

    // Without a measured balance the automatic set cannot be sent: the
    // failure is reported, and the image and the interface keep their set.
    ImageRef plain = OpenFile(WriteFixture(files, "P.ZYR", Fixture::Family1));
    P own = *plain->GetProcessParams();
    own.lighting = 3;
    own.balanceType = 3;
    plain->SetProcessParams(own);
    Zyn(plain)->SetProcessParamsInImageExceptWindow(own);
    EXPECT_EQ(CodeOf([&] { plain->GetAutoParams(); }), NbErrCameraSettingRefused);
    EXPECT_TRUE(*plain->GetProcessParams() == own);
    info = Zyn(plain)->GetInfoRecord();
    ASSERT_EQ(VqGetExtension(&info, 20, balance), 0u);
    EXPECT_EQ(balance[1], 3u);
}

} // namespace

namespace {

// Every code this kind answers, each from the image's own set with one
// thing changed, in the order the checks run; a set with two faults answers
// the earlier one.
TEST(ZynImageParamsTest, ValidationAnswersInItsOrder) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef colour = OpenFile(WriteFixture(files, "C.ZYR", Fixture::Family1));
    ImageRef gray = OpenFile(WriteFixture(files, "G.ZYR", Fixture::Mono));
    ImageRef measured = OpenFile(WriteRaw(files, "M.ZYR", MeasuredOptions(), Looks(2)));
    ImageRef jpeg = OpenFile(WriteFixture(files, "J.ZYR", Fixture::CameraJpeg));
    // A file that lists no looks keeps the default one, and its own
    // settings are valid.
    ImageRef bare = OpenFile(WriteRaw(files, "B.ZYR", FixtureOptions(Fixture::Family1), RawEdit()));
    ASSERT_TRUE(colour && gray && measured && jpeg && bare);
    ASSERT_NE(Zyn(jpeg), nullptr);
    ASSERT_TRUE(bare->GetAvailableLooks().empty());
    for (const ImageRef& image : {colour, gray, measured, jpeg, bare})
        EXPECT_EQ(image->ValidateProcessParams(*image->GetProcessParams()), P::Valid) << image->GetFileName();

    struct Row {
        int code;
        ImageRef image;
        std::function<void(P&)> change;
    };
    const std::string serial = colour->GetSerialNumber();
    const Row rows[] = {
        {P::AutoLightingUnsupported, colour, [](P& p) { p.lighting = 5; }},
        {P::NoAtCaptureParams, jpeg, [](P& p) { p.lighting = 4; }},
        {P::BalanceTypeRejected, colour, [](P& p) { p.balanceType = 7; }},
        {P::CannotClickBalance, gray, [](P& p) { p.balanceType = 0; }},
        {P::BalanceFromOtherCamera, colour,
         [](P& p) { p.balanceType = 6, p.SetClickBalance(900, 1000, 1100), p.SetBalanceName("another camera"); }},
        {P::ZeroBalanceTriple, colour, [&](P& p) { p.balanceType = 6, p.SetClickBalance(0, 0, 0), p.SetBalanceName(serial); }},
        {P::ZeroBalanceTriple, colour, [](P& p) { p.balanceType = 4, std::memset(p.customBalance, 0, 6); }},
        {P::LightingUnsupported, gray, [](P& p) { p.lighting = 0; }},
        {P::AutoLightingWithClickBalance, measured,
         [&](P& p) { p.lighting = 5, p.balanceType = 6, p.SetClickBalance(900, 1000, 1100), p.SetBalanceName(serial); }},
        // 7 needs the image type code 5, which the interface never answers.
        {P::MonochromeOnColor, colour, [](P& p) { p.lighting = 6; }},
        {P::CannotSharpen, jpeg, [](P& p) { p.sharpenMode = 1; }},
        {P::NoiseModeUnsupported, colour, [](P& p) { p.noiseReductionMode = 2; }},
        {P::CannotAdjustExposure, jpeg, [](P& p) { p.exposureCompensation = 1.0f; }},
        {P::ExposureOutOfRange, colour, [](P& p) { p.exposureCompensation = 2.5f; }},
        {P::CannotAdjustTone, colour, [](P& p) { p.levels[1] = 0.5f; }},
        // 26 to 33 check levels, which an image that cannot adjust tone never
        // reaches.
        {P::LookUnavailable, colour, [](P& p) { p.lookName = "No such look"; }},
        {P::LookUnavailable, bare, [](P& p) { p.lookName = "No such look"; }},
        {P::Valid, bare, [](P& p) { p.rotation = 90.0f; }},
        {P::CannotAdjustWhitePoint, colour, [](P& p) { p.whitePoint = 5000; }},
        {P::ColorBalanceOutOfLimits, colour, [](P& p) { p.lightingIndex = 9; }},
        {P::CannotAdjustColorBalance, colour, [](P& p) { p.fineTuneBalance[p.lightingIndex][1] = 3; }},
        // 34 is for images that optimise lenses.
        {P::CannotOptimizeLens, colour, [](P& p) { p.lensOptimization = 2; }},
        {P::RotationNotWhole, colour, [](P& p) { p.rotation = 90.5f; }},
        {P::RotationNotQuarter, colour, [](P& p) { p.rotation = 45.0f; }},
        {P::CropOutside, colour, [](P& p) { p.crop = NbRect(0, 0, 127, 96); }},
        {P::CropMisaligned, colour, [](P& p) { p.crop = NbRect(1, 0, 16, 7); }},
        // Two faults: the earlier check answers.
        {P::AutoLightingUnsupported, colour, [](P& p) { p.lighting = 5, p.exposureCompensation = 2.5f; }},
        {P::NoiseModeUnsupported, colour, [](P& p) { p.noiseReductionMode = 2, p.crop = NbRect(1, 0, 16, 7); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "code " << row.code << " on " << row.image->GetFileName());
        P p = *row.image->GetProcessParams();
        row.change(p);
        EXPECT_EQ(row.image->ValidateProcessParams(p), row.code);
    }
}

} // namespace
