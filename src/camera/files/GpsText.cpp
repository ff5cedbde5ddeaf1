#include "GpsText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kSeparators = " ,\t\r\nTG*";

// Appends while the text stays within its 254-byte buffer; longer fields are cut.
void Append(std::string& out, std::string_view s) {
    if (out.size() >= GpsText::kMaxText) return;
    out.append(s.substr(0, GpsText::kMaxText - out.size()));
}

// Fields of a sentence: runs of characters between separators; empty fields
// disappear.
class Fields {
public:
    explicit Fields(std::string_view text) : text_(text) {}
    std::optional<std::string_view> Next() {
        while (pos_ < text_.size() && kSeparators.find(text_[pos_]) != std::string_view::npos) ++pos_;
        if (pos_ >= text_.size()) return std::nullopt;
        const size_t start = pos_;
        while (pos_ < text_.size() && kSeparators.find(text_[pos_]) == std::string_view::npos) ++pos_;
        return text_.substr(start, pos_ - start);
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The raw comma-separated field `index` after the sentence type, to tell an empty
// field from a missing one.
bool RawFieldEmpty(std::string_view rest, int index) {
    if (!rest.empty() && rest[0] == ',') rest.remove_prefix(1);
    for (int i = 0; i < index; ++i) {
        const size_t comma = rest.find(',');
        if (comma == std::string_view::npos) return true;
        rest.remove_prefix(comma + 1);
    }
    const std::string_view field = rest.substr(0, rest.find(','));
    return field.find_first_not_of(" \t") == std::string_view::npos;
}

// Decodes one 8-digit group of upper-case hex into the single it stores: digit
// pairs give bytes 2, 3, 0, 1 of the little-endian value.
std::optional<float> DecodeSingle(std::string_view group) {
    if (group.size() != 8) return std::nullopt;
    uint8_t bytes[4] = {};
    static constexpr int kByteOfPair[4] = {2, 3, 0, 1};
    for (int pair = 0; pair < 4; ++pair) {
        int v = 0;
        for (int d = 0; d < 2; ++d) {
            const char c = group[size_t(2 * pair + d)];
            int nibble;
            if (c >= '0' && c <= '9') nibble = c - '0';
            else if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
            else return std::nullopt;
            v = v * 16 + nibble;
        }
        bytes[kByteOfPair[pair]] = uint8_t(v);
    }
    const uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f)) return std::nullopt;
    return f;
}

void AppendAngle(std::string& out, const char* label, double degrees, char positive, char negative) {
    const double a = std::fabs(degrees);
    if (a > 1e6) return;
    const int whole = int(a);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%d%07.4lf,%c\r", label, whole, (a - whole) * 60.0,
                  degrees < 0 ? negative : positive);
    Append(out, buf);
}

// Position lines from a PLGR record; positions count from its "P".
void AppendPlgr(std::string& out, std::string_view work) {
    const size_t at = work.find("PLGR");
    if (at == std::string_view::npos) return;
    const std::string_view rec = work.substr(at);
    // The three groups must lie inside the text.
    if (rec.size() < 92) return;
    const auto lat = DecodeSingle(rec.substr(44, 8));
    const auto lon = DecodeSingle(rec.substr(52, 8));
    const auto alt = DecodeSingle(rec.substr(84, 8));
    if (!lat || !lon || !alt) return;
    constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;
    AppendAngle(out, "Lat: ", double(*lat) * 0.25 * kRadToDeg, 'N', 'S');
    AppendAngle(out, "Lon: ", double(*lon) * 0.25 * kRadToDeg, 'E', 'W');
    char buf[64];
    std::snprintf(buf, sizeof buf, "Alt: %8.2fm\r", double(*alt) * 0.25);
    Append(out, buf);
}

} // namespace

std::optional<std::string> GpsText::Format(std::string_view description) {
    size_t start = description.find('$');
    if (start == std::string_view::npos) start = description.find("PLGR");
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view work = description.substr(start);

    std::string out;
    bool plgr = true;
    const size_t gp = work.find("GP");
    if (gp != std::string_view::npos) {
        const std::string_view sentence = work.substr(gp);
        const size_t typeAt = sentence.size() > 2 && sentence[2] == 'S' ? 3 : 2;
        const std::string_view type = sentence.substr(typeAt, 3);
        const std::string_view rest = sentence.substr(std::min(sentence.size(), typeAt + 3));
        Fields fields(rest);
        auto need = [&]() -> std::optional<std::string_view> { return fields.Next(); };

        if (type == "GLL") {
            if (auto lat = need()) {
                auto ns = need(), lon = need(), ew = need();
                if (!ns || !lon || !ew) return std::nullopt;
                Append(out, "Lat: "), Append(out, *lat), Append(out, ","), Append(out, *ns), Append(out, "\r");
                Append(out, "Lon: "), Append(out, *lon), Append(out, ","), Append(out, *ew), Append(out, "\r");
                auto time = need();
                if (time && sentence.size() >= 38) {
                    auto next = need();
                    if (!next) return std::nullopt;
                    Append(out, "UTC: "), Append(out, *time), Append(out, ","), Append(out, *next), Append(out, "\r");
                } else {
                    Append(out, "UTC: ******\r");
                    plgr = false;
                }
            }
        } else if (type == "GGA" && !(RawFieldEmpty(rest, 0) && RawFieldEmpty(rest, 1))) {
            if (RawFieldEmpty(rest, 0)) {
                Append(out, "\r");
            } else {
                auto time = need();
                if (!time) return std::nullopt;
                Append(out, "UTC: "), Append(out, *time), Append(out, "\r");
            }
            auto lat = need(), ns = need(), lon = need(), ew = need();
            if (!lat || !ns || !lon || !ew) return std::nullopt;
            Append(out, "Lat: "), Append(out, *lat), Append(out, ","), Append(out, *ns), Append(out, "\r");
            Append(out, "Lon: "), Append(out, *lon), Append(out, ","), Append(out, *ew), Append(out, "\r");
            if (!need() || !need()) return std::nullopt;
            auto h = need();
            if (!h) return std::nullopt;
            Append(out, "Alt: ");
            auto a = need();
            if (!a) return std::nullopt;
            if (a->empty() || (*a)[0] != 'M') {
                auto unit = need();
                if (!unit) return std::nullopt;
                Append(out, *a), Append(out, ","), Append(out, *unit);
            } else {
                Append(out, *h), Append(out, ","), Append(out, *a);
            }
            Append(out, "\r");
        }
    }
    if (plgr) AppendPlgr(out, work);
    if (out.empty()) return std::nullopt;
    return out;
}

void GpsText::Replace(char* buffer, size_t size, std::string_view formatted) {
    if (!buffer || size == 0) return;
    const size_t firstLen = strnlen(buffer, size);
    const std::string_view first(buffer, firstLen);
    size_t at = first.find('$');
    if (at == std::string_view::npos) at = first.find("PLGR");
    if (at == std::string_view::npos) return;
    std::string second;
    if (firstLen + 1 < size) second.assign(buffer + firstLen + 1, strnlen(buffer + firstLen + 1, size - firstLen - 1));

    std::vector<char> result(buffer, buffer + at);
    result.insert(result.end(), formatted.begin(), formatted.end());
    result.push_back('\0');
    if (!second.empty()) {
        result.insert(result.end(), second.begin(), second.end());
        result.push_back('\0');
    }
    const size_t n = std::min(result.size(), size);
    std::memcpy(buffer, result.data(), n);
    std::memset(buffer + n, 0, size - n);
    buffer[size - 1] = '\0';
    for (size_t i = 0; i < size; ++i)
        if (buffer[i] == '\n') buffer[i] = '\r';
}

std::string GpsText::BuildDateText(const int16_t date[9], std::string_view lines) {
    char head[96];
    std::snprintf(head, sizeof head, "Date: %02hd/%02hd/%02hd  Time: %02hd:%02hd:%02hd", short(date[4] + 1), date[3],
                  short(date[5] + 1900), date[2], date[1], date[0]);
    std::string out = head;
    size_t pos = 0;
    while (pos < lines.size()) {
        const size_t end = lines.find_first_of("\r\n", pos);
        const size_t stop = end == std::string_view::npos ? lines.size() : end;
        if (stop > pos) {
            out += "  ";
            out.append(lines.substr(pos, stop - pos));
        }
        pos = stop + 1;
    }
    return out;
}
