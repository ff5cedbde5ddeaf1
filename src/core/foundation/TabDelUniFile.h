#pragma once
// A reader of tab-delimited UTF-16 text (the string table's format): a byte-
// order mark (FF FE little-endian, FE FF big-endian), then rows of items.
// TAB ends an item; LF, U+2028, U+2029 and CR LF end the row. Backslash
// escapes: \\ \n \r \t and \0x followed by four hexadecimal digits. An item
// quoted in double quotes loses them, and a doubled quote stands for one.
#include "File.h"

#include <string>
#include <vector>

namespace NimbalCore {

class TabDelUniFile : public File {
public:
    explicit TabDelUniFile(const FilePathSpec& path) : File(path) {}

    // Opens and reads the byte-order mark: 1811 when the file is shorter
    // than one unit, 1821 when the mark is neither order.
    void Open(int mode) override;

    // One unit in the file's byte order; false at the end or on a failure.
    bool ReadChar(char16_t& unit);
    // Reads one item; true when the row ended with it. A malformed \0x
    // escape throws 1822.
    bool LoadItem(std::u16string& item);
    // Appends the items of one row.
    void LoadRow(std::vector<std::u16string>& items);

    static void Unquote(std::u16string& item);
    static void ReplaceAll(std::u16string& text, const std::u16string& what, const std::u16string& with);

    bool IsBigEndian() const { return bigEndian_; }

private:
    bool bigEndian_ = false;
};

} // namespace NimbalCore
