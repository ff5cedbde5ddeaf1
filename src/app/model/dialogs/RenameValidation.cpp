#include "RenameValidation.h"

#include "LocalizedText.h"
#include "StringIds.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr size_t kMaxBaseNameRead = 256;
constexpr size_t kBaseNameTooLong = 244;
constexpr size_t kMaxNumberRead = 255;

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

std::string FirstCharacters(const std::string& text, size_t n) {
    size_t count = 0, i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (count == n) break;
            ++count;
        }
    }
    return text.substr(0, i);
}

// Reads an integer the way "%d" does (leading white space, a sign, digits),
// without its undefined overflow: out-of-range values are clamped.
bool ReadInt(const std::string& text, int& value) {
    const std::string head = text.substr(0, kMaxNumberRead);
    const char* begin = head.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin) return false;
    value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
    return true;
}

bool AllDigits(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

int DigitsForCount(long long n) {
    int digits = 0;
    for (long long power = 1; power < n; power *= 10) ++digits;
    return digits;
}

RenameCheck CheckRenameSetup(const std::string& baseNameText, const std::string& digitsText,
                             const std::string& startText, int imageCount, int numDigits, int startFrom) {
    RenameCheck r;
    r.numDigits = numDigits;
    r.startFrom = startFrom;
    auto fail = [&](int id, int focus) {
        r.ok = false;
        r.message += LoadTranslatedString(id);
        if (!r.focusId) r.focusId = focus;
    };

    const std::string text = FirstCharacters(baseNameText, kMaxBaseNameRead);
    if (CharacterCount(text) >= kBaseNameTooLong) fail(IDS_BASE_NAME_TOO_LONG, kRenameBaseNameEdit);
    r.baseName = text;
    if (r.baseName.find_first_of("\\/:?\"<>|") != std::string::npos)
        fail(IDS_NAME_BAD_CHARACTERS, kRenameBaseNameEdit);

    size_t stars = 0;
    for (char c : r.baseName) stars += c == '*';
    if (imageCount > 1 && stars > 1) fail(IDS_BASE_NAME_STARS, kRenameBaseNameEdit);
    else if (imageCount <= 1 && stars > 0) fail(IDS_BASE_NAME_STAR_ONE_IMAGE, kRenameBaseNameEdit);

    r.baseName.erase(0, r.baseName.find_first_not_of(" \t\r\n\v\f") == std::string::npos
                            ? r.baseName.size()
                            : r.baseName.find_first_not_of(" \t\r\n\v\f"));
    if (imageCount < 2 && r.baseName.empty()) fail(IDS_BASE_NAME_REQUIRED, kRenameBaseNameEdit);

    r.digitsRead = ReadInt(digitsText, r.numDigits);
    r.startRead = ReadInt(startText, r.startFrom);

    if (imageCount > 1 && r.numDigits < DigitsForCount((long long)r.startFrom + imageCount)) {
        fail(IDS_DIGITS_DO_NOT_FIT, kRenameDigitsEdit);
        return r;
    }
    if (!AllDigits(digitsText)) fail(IDS_DIGITS_NOT_NUMERIC, kRenameDigitsEdit);
    else if (digitsText.size() > 1 && r.numDigits > 9) fail(IDS_DIGITS_TOO_MANY, kRenameDigitsEdit);

    if (!AllDigits(startText)) fail(IDS_START_NOT_NUMERIC, kRenameStartEdit);
    else if (startText.size() > 9) fail(IDS_START_TOO_LONG, kRenameStartEdit);

    if (r.numDigits <= 9) {
        long long limit = 1;
        for (int i = 0; i < r.numDigits; ++i) limit *= 10;
        // 10^n - 1 for n <= 0 lies in (-1, 0]: below any start of 0 or more
        // only for negative n.
        const bool tooSmall = r.numDigits < 0 ? r.startFrom >= 0 : limit - 1 < r.startFrom;
        if (tooSmall) fail(IDS_DIGITS_TOO_FEW_FOR_START, kRenameStartEdit);
    }
    return r;
}
