#include "CoreTestSupport.h"
#include "NbErrorCodes.h"
#include "TabDelUniFile.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::Utf16Bytes;
using Rows = std::vector<std::vector<std::u16string>>;

namespace {

Rows ReadRows(const std::string& path) {
    TabDelUniFile f{FilePathSpec(path)};
    f.Open(File::ReadBinary);
    Rows rows;
    while (!f.IsEOF()) {
        std::vector<std::u16string> row;
        f.LoadRow(row);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(TabDelUniFileTest, ItemsRowsEscapesAndQuotes) {
    struct Case {
        const char* what;
        std::u16string text;
        Rows rows;
    } cases[] = {
        {"two items", u"a\tb", {{u"a", u"b"}}},
        {"tab at the end", u"a\t", {{u"a", u""}}},
        {"line ends", u"a\nb\u2028c\u2029d\r\ne", {{u"a"}, {u"b"}, {u"c"}, {u"d"}, {u"e"}}},
        {"CR before a letter stays", u"a\rb\tc", {{u"a\rb", u"c"}}},
        {"CR before TAB stays and the TAB ends the item", u"a\r\tb", {{u"a\r", u"b"}}},
        {"CR before CR LF", u"a\r\r\nb", {{u"a\r\r"}, {u"b"}}},
        {"CR last", u"a\r", {{u"a\r"}}},
        {"simple escapes", u"\\\\\\n\\r\\t", {{u"\\\n\r\t"}}},
        {"hex escape", u"caf\\0x00e9\\0x00E9", {{u"caf\u00e9\u00e9"}}},
        {"backslash before another unit", u"\\q\\\tx\\\ny", {{u"\\q\\\t", u"x\\\ny"}}},
        {"backslash last", u"ab\\", {{u"ab\\"}}},
        {"backslash zero last", u"ab\\0", {{u"ab0"}}},
        {"backslash zero other", u"\\0y", {{u"\\0y"}}},
        {"quoted", u"\"\"\"x\"\"\"\t\"\t\"a\"\"b\"", {{u"\"x\"", u"\"", u"a\"b"}}},
        {"doubled quotes inside", u"say \"\"hi\"\"", {{u"say \"hi\""}}},
        {"empty file", u"", {{u""}}},
        {"line feed last", u"a\n", {{u"a"}, {u""}}},
    };
    for (const Case& c : cases) {
        for (bool big : {false, true}) {
            lumora::test::TempFolder tmp;
            const std::string path = tmp.write("t.u16", Utf16Bytes(c.text, big));
            EXPECT_EQ(ReadRows(path), c.rows) << c.what << (big ? " (big-endian)" : "");
        }
    }
}

TEST(TabDelUniFileTest, BadFilesAndEscapes) {
    lumora::test::TempFolder tmp;
    struct Case {
        const char* what;
        std::string bytes;
        int code;
    } cases[] = {
        {"one byte", std::string("\xFF"), NbErrFileReadFailed},
        {"empty", std::string(), NbErrFileReadFailed},
        {"no mark", std::string("ab\0c\0", 5), NbErrNotUnicodeText},
        {"three hex digits before TAB", Utf16Bytes(u"\\0x00e\tz", false), NbErrBadEscape},
        {"not hex", Utf16Bytes(u"\\0x00g9", true), NbErrBadEscape},
        {"hex cut by the end", Utf16Bytes(u"\\0x00", false), NbErrBadEscape},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.write("bad.u16", c.bytes);
        EXPECT_EQ(CodeOf([&] { ReadRows(path); }), c.code) << c.what;
    }
    EXPECT_EQ(CodeOf([&] { ReadRows(tmp.file("missing.u16")); }), NbErrFileOpenFailed);
}

TEST(TabDelUniFileTest, ByteOrderOfTheMark) {
    lumora::test::TempFolder tmp;
    TabDelUniFile little{FilePathSpec(tmp.write("l.u16", Utf16Bytes(u"x", false)))};
    little.Open(File::ReadBinary);
    EXPECT_FALSE(little.IsBigEndian());
    TabDelUniFile big{FilePathSpec(tmp.write("b.u16", Utf16Bytes(u"x", true)))};
    big.Open(File::ReadBinary);
    EXPECT_TRUE(big.IsBigEndian());
    char16_t unit = 0;
    ASSERT_TRUE(big.ReadChar(unit));
    EXPECT_EQ(unit, u'x');
    EXPECT_FALSE(big.ReadChar(unit));
}

TEST(TabDelUniFileTest, ReplaceAllResumesAfterTheInsertion) {
    std::u16string text = u"aaa";
    TabDelUniFile::ReplaceAll(text, u"a", u"aa");
    EXPECT_EQ(text, u"aaaaaa");
    text = u"xyz";
    TabDelUniFile::ReplaceAll(text, u"", u"q");
    EXPECT_EQ(text, u"xyz");
    text = u"\"\"\"\"";
    TabDelUniFile::ReplaceAll(text, u"\"\"", u"\"");
    EXPECT_EQ(text, u"\"\"");
}
