#include "TabDelUniFile.h"

#include "ByteView.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

namespace NimbalCore {
namespace {

constexpr char16_t kTab = 0x0009;
constexpr char16_t kLineFeed = 0x000A;
constexpr char16_t kCarriageReturn = 0x000D;
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kBackslash = u'\\';
constexpr char16_t kQuote = u'"';

int hexValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    return -1;
}

} // namespace

void TabDelUniFile::Open(int mode) {
    File::Open(mode);
    uint8_t mark[2];
    ReadExactly(mark, 1, 2);
    if (mark[0] == 0xFF && mark[1] == 0xFE) bigEndian_ = false;
    else if (mark[0] == 0xFE && mark[1] == 0xFF) bigEndian_ = true;
    else YLM_THROW("TabDelUniFile::Open", NbErrNotUnicodeText);
}

bool TabDelUniFile::ReadChar(char16_t& unit) {
    uint8_t bytes[2];
    if (Read(bytes, 2, 1) != 1) return false;
    uint16_t value = 0;
    lumora::ByteView(bytes, 2).u16(0, bigEndian_ ? lumora::ByteOrder::Big : lumora::ByteOrder::Little, value);
    unit = static_cast<char16_t>(value);
    return true;
}

bool TabDelUniFile::LoadItem(std::u16string& item) {
    item.clear();
    bool endOfRow = false;
    for (;;) {
        char16_t c;
        if (!ReadChar(c)) {
            endOfRow = true;
            break;
        }
        if (c == kTab) break;
        if (c == kLineFeed || c == kLineSeparator || c == kParagraphSeparator) {
            endOfRow = true;
            break;
        }
        if (c == kCarriageReturn) {
            char16_t next;
            if (!ReadChar(next)) {
                item += c;
                endOfRow = true;
                break;
            }
            if (next == kLineFeed) {
                endOfRow = true;
                break;
            }
            item += c;
            if (next == kTab) break;
            item += next;
            continue;
        }
        if (c == kBackslash) {
            char16_t next;
            if (!ReadChar(next)) {
                item += c;
                endOfRow = true;
                break;
            }
            if (next == kBackslash) { item += kBackslash; continue; }
            if (next == u'n') { item += kLineFeed; continue; }
            if (next == u'r') { item += kCarriageReturn; continue; }
            if (next == u't') { item += kTab; continue; }
            if (next == u'0') {
                char16_t x;
                if (!ReadChar(x)) {
                    item += u'0';
                    endOfRow = true;
                    break;
                }
                if (x == u'x') {
                    int value = 0;
                    for (int i = 0; i < 4; ++i) {
                        char16_t digit;
                        const int v = ReadChar(digit) ? hexValue(digit) : -1;
                        if (v < 0) YLM_THROW("TabDelUniFile::LoadItem", NbErrBadEscape);
                        value = value * 16 + v;
                    }
                    item += static_cast<char16_t>(value);
                    continue;
                }
                // Not an escape after all: all three units stay as they are.
                item += kBackslash;
                item += u'0';
                item += x;
                if (x == kTab) break;
                continue;
            }
            // Any other unit: both stay; a TAB still ends the item.
            item += kBackslash;
            item += next;
            if (next == kTab) break;
            continue;
        }
        item += c;
    }
    Unquote(item);
    return endOfRow;
}

void TabDelUniFile::LoadRow(std::vector<std::u16string>& items) {
    while (!IsEOF()) {
        std::u16string item;
        const bool endOfRow = LoadItem(item);
        items.push_back(std::move(item));
        if (endOfRow) break;
    }
}

void TabDelUniFile::Unquote(std::u16string& item) {
    if (item.size() >= 2 && item.front() == kQuote && item.back() == kQuote) item = item.substr(1, item.size() - 2);
    ReplaceAll(item, u"\"\"", u"\"");
}

void TabDelUniFile::ReplaceAll(std::u16string& text, const std::u16string& what, const std::u16string& with) {
    if (what.empty()) return;
    size_t at = 0;
    while ((at = text.find(what, at)) != std::u16string::npos) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
}

} // namespace NimbalCore
