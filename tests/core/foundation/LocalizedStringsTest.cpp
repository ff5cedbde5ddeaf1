#include "CameraSettingsStrings.h"
#include "CoreTestSupport.h"
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "ShellCommand.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::Utf16Bytes;

namespace {

// A table written by hand: columns 0 (id), 1 (key), 2 (note), 3 (English),
// 4 (Chinese), 5 (French).
const std::u16string kTable =
    u"1\tCamera:  \tlabel\tCamera:  \t\u76f8\u673a\uff1a\tAppareil :  \r\n"
    u"2\tCamera:  \tduplicate\tCamera:  \t\tDeuxi\u00e8me\r\n"
    u"3\tShort row\tnote\tShort row\n"
    u"4\tEmpty French\tnote\tEmpty French\t\t\n"
    u"5\t\"Quoted \"\"key\"\"\"\tnote\t\"Quoted \"\"key\"\"\"\t\tCl\\0x00e9 \"\"cit\u00e9e\"\"\n"
    u"6\tFile Size: %.1f MB on disk\tnote\tFile Size: %.1f MB on disk\t\tTaille : %.1f Mo\n"
    u"7\tTab\\tand\\nline\tnote\tTab\\tand\\nline\t\tTab\\tet\\nligne\n"
    u"8\tOK\tnote\tOK\t\tD'accord\n"
    u"9\tEV\tnote\tEV\t\tIL\n"
    u"10\t\tempty key\tnothing\t\tnada\n"
    u"11\tcase\tnote\tcase\t\tminuscule\n"
    u"12\tCASE\tnote\tCASE\t\tmajuscule\n"
    u"13\tResolution: %.1f Megapixels\tnote\tResolution: %.1f Megapixels\t\tR\u00e9solution : %s\n";

std::string Lookup(const std::string& key) {
    std::string text;
    return GetLocalizedString(key, text) ? text : "<none>";
}

class LocalizedStringsTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Leave an empty table behind for the next test.
        const std::string path = tmp.write("empty.u16", Utf16Bytes(u"", false));
        LoadLocalizedStrings(FilePathSpec(path), kColumnEnglish);
    }
    lumora::test::TempFolder tmp;
};

} // namespace

TEST_F(LocalizedStringsTest, LooksUpTheChosenColumnInBothByteOrders) {
    for (bool big : {false, true}) {
        const std::string path = tmp.write("LumoraUIStrings.u16", Utf16Bytes(kTable, big));
        LoadLocalizedStrings(FilePathSpec(path), LocalizedColumnForLanguage("French"));
        EXPECT_EQ(Lookup("Camera:  "), "Appareil :  "); // the first row of a key wins
        EXPECT_EQ(Lookup("Camera:"), "<none>");         // keys match exactly
        EXPECT_EQ(Lookup("Short row"), "<none>");
        EXPECT_EQ(Lookup("Empty French"), "<none>");
        EXPECT_EQ(Lookup("Quoted \"key\""), "Clé \"citée\"");
        EXPECT_EQ(Lookup("Tab\tand\nline"), "Tab\tet\nligne");
        EXPECT_EQ(Lookup("case"), "minuscule");
        EXPECT_EQ(Lookup("CASE"), "majuscule");
        EXPECT_EQ(Lookup(""), "<none>");
        EXPECT_EQ(Lookup("\xff"), "<none>");
    }
    LoadLocalizedStrings(FilePathSpec(tmp.write("t.u16", Utf16Bytes(kTable, false))),
                         LocalizedColumnForLanguage("Chinese"));
    EXPECT_EQ(Lookup("Camera:  "), "相机：");
    EXPECT_EQ(Lookup("OK"), "<none>");
}

TEST_F(LocalizedStringsTest, VerificationShowsEnglishUpperCased) {
    LoadLocalizedStrings(FilePathSpec(tmp.write("t.u16", Utf16Bytes(kTable, false))), kColumnVerification);
    EXPECT_EQ(Lookup("Camera:  "), "CAMERA:  ");
    EXPECT_EQ(Lookup("File Size: %.1f MB on disk"), "FILE SIZE: %.1f MB ON DISK");
    EXPECT_EQ(Lookup("OK"), "OK!");
    EXPECT_EQ(Lookup("EV"), "EV!");
    EXPECT_EQ(Lookup("Short row"), "SHORT ROW");
    CameraSettingsStrings labels;
    EXPECT_EQ(labels.GetString(CameraSettingsStrings::FileSize), "FILE SIZE: %.1f MB ON DISK");
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::FileSize, 12.34f), "FILE SIZE: 12.3 MB ON DISK");
}

TEST_F(LocalizedStringsTest, LanguageColumns) {
    const std::pair<const char*, unsigned> cases[] = {
        {"English", 3}, {"Chinese", 4}, {"French", 5}, {"German", 6}, {"Italian", 7}, {"Japanese", 8},
        {"Korean", 9}, {"Portuguese", 10}, {"Spanish", 11}, {"TraditionalChinese", 12}, {"Verification", 9999},
        {"french", 3}, {"Klingon", 3}, {"", 3},
    };
    for (const auto& [name, column] : cases) EXPECT_EQ(LocalizedColumnForLanguage(name), column) << name;
}

TEST_F(LocalizedStringsTest, BrokenFilesThrowTheirCodesAndLeaveNoTable) {
    LoadLocalizedStrings(FilePathSpec(tmp.write("t.u16", Utf16Bytes(kTable, false))), kColumnFrench);
    ASSERT_EQ(Lookup("EV"), "IL");
    const std::pair<std::string, int> cases[] = {
        {"x", NbErrFileReadFailed},
        {"ab", NbErrNotUnicodeText},
        {Utf16Bytes(u"1\tEV\tn\tEV\t\t\\0x12", false), NbErrBadEscape},
    };
    for (const auto& [bytes, code] : cases) {
        const std::string path = tmp.write("bad.u16", bytes);
        EXPECT_EQ(CodeOf([&] { LoadLocalizedStrings(FilePathSpec(path), kColumnFrench); }), code);
        EXPECT_EQ(Lookup("EV"), "<none>");
    }
    EXPECT_EQ(CodeOf([&] { LoadLocalizedStrings(FilePathSpec(tmp.file("none.u16")), kColumnFrench); }),
              NbErrFileOpenFailed);
}

TEST_F(LocalizedStringsTest, CameraSettingsLabels) {
    CameraSettingsStrings labels;
    EXPECT_EQ(labels.GetString(CameraSettingsStrings::Camera), "Camera:  ");
    EXPECT_EQ(labels.GetString(23), "Shadow must be less than Midtone, and Midtone must be less than Highlight.");
    EXPECT_EQ(labels.GetString(CameraSettingsStrings::EV), "EV");
    EXPECT_EQ(labels.GetString(25), "");
    EXPECT_EQ(labels.GetString(-1), "");
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::Resolution, 39.04f), "Resolution: 39.0 Megapixels");

    LoadLocalizedStrings(FilePathSpec(tmp.write("t.u16", Utf16Bytes(kTable, false))), kColumnFrench);
    EXPECT_EQ(labels.GetString(CameraSettingsStrings::Camera), "Appareil :  ");
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::FileSize, 2.25f), "Taille : 2.2 Mo");
    // A translation whose format would read a text is not used as a format.
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::Resolution, 39.04f), "Resolution: 39.0 Megapixels");
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::Camera, 1.0f), "Appareil :  ");
}

TEST_F(LocalizedStringsTest, FormatsFromTheTableAreChecked) {
    const std::u16string table =
        u"1\tFile Size: %.1f MB on disk\tn\tx\t\t%999999f Mo\n"
        u"2\tResolution: %.1f Megapixels\tn\tx\t\t%.2f MP %% %5.3e\n";
    LoadLocalizedStrings(FilePathSpec(tmp.write("t.u16", Utf16Bytes(table, false))), kColumnFrench);
    CameraSettingsStrings labels;
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::FileSize, 1.5f), "File Size: 1.5 MB on disk");
    EXPECT_EQ(labels.FormatFloat(CameraSettingsStrings::Resolution, 1.5f), "Resolution: 1.5 Megapixels");
    // Columns 0 and 1 hold no translation; nothing is read past a short row.
    LoadLocalizedStrings(FilePathSpec(tmp.write("t1.u16", Utf16Bytes(u"only\nkey\tvalue\n", false))), 0);
    LoadLocalizedStrings(FilePathSpec(tmp.write("t2.u16", Utf16Bytes(u"only\nkey\tvalue\n", false))), 1);
    std::string text;
    EXPECT_TRUE(GetLocalizedString("value", text));
    EXPECT_EQ(text, "value");
}

namespace {

std::string Client() {
    return std::string(std::getenv("LUMORA_PROGRAM_DIR")) + "/coreclient";
}

} // namespace

TEST(CoreClientTest, StringsThroughTheClient) {
    lumora::test::TempFolder tmp;
    const std::string little = tmp.write("little.u16", Utf16Bytes(kTable, false));
    const std::string big = tmp.write("big.u16", Utf16Bytes(kTable, true));
    for (const std::string& file : {little, big}) {
        const std::string out = lumora::test::RunCommand(
            Client() + " strings " + file + " French 'Camera:  ' 'Empty French' 'Quoted \"key\"' 'Tab\tand\nline'");
        EXPECT_EQ(out,
                  "{\"key\": \"Camera:  \", \"found\": true, \"text\": \"Appareil :  \"}\n"
                  "{\"key\": \"Empty French\", \"found\": false, \"text\": \"\"}\n"
                  "{\"key\": \"Quoted \\\"key\\\"\", \"found\": true, \"text\": \"Clé \\\"citée\\\"\"}\n"
                  "{\"key\": \"Tab\\tand\\nline\", \"found\": true, \"text\": \"Tab\\tet\\nligne\"}\n");
    }
    EXPECT_EQ(lumora::test::RunCommand(Client() + " strings " + little + " Verification 'Short row' OK"),
              "{\"key\": \"Short row\", \"found\": true, \"text\": \"SHORT ROW\"}\n"
              "{\"key\": \"OK\", \"found\": true, \"text\": \"OK!\"}\n");
    const std::pair<std::string, std::string> broken[] = {
        {"x", "{\"code\": 1811}\n"},
        {"plain text", "{\"code\": 1821}\n"},
        {Utf16Bytes(u"a\\0x1", false), "{\"code\": 1822}\n"},
    };
    for (const auto& [bytes, answer] : broken) {
        const std::string path = tmp.write("broken.u16", bytes);
        EXPECT_EQ(lumora::test::RunCommand(Client() + " strings " + path + " French x"), answer);
        EXPECT_NE(std::system((Client() + " strings " + path + " French x >/dev/null").c_str()), 0);
    }
}

TEST(CoreClientTest, GeneratedTableRoundTrips) {
    // u16gen's escapes and quotes read back as the items it was given, in
    // both byte orders and with either line end.
    lumora::test::TempFolder tmp;
    const std::string tsv = tmp.write("table.tsv",
                                      "# comment\n"
                                      "1\tWidth:  \tn\tWidth:  \t\tLargeur :  \n"
                                      "2\t\"Quoted\"\tn\t\"Quoted\"\t\t\"Entre guillemets\"\n"
                                      "3\tBack\\\\slash\tn\tBack\\\\slash\t\tBarre\\toblique\\r\\n\n");
    const std::string bin = std::getenv("LUMORA_PROGRAM_DIR");
    for (const char* flags : {"", "--big-endian", "--crlf", "--big-endian --crlf"}) {
        const std::string out = tmp.file("gen.u16");
        ASSERT_EQ(std::system((bin + "/u16gen " + flags + " " + tsv + " " + out).c_str()), 0) << flags;
        EXPECT_EQ(lumora::test::RunCommand(Client() + " strings " + out + " French 'Width:  ' '\"Quoted\"' 'Back\\slash'"),
                  "{\"key\": \"Width:  \", \"found\": true, \"text\": \"Largeur :  \"}\n"
                  "{\"key\": \"\\\"Quoted\\\"\", \"found\": true, \"text\": \"\\\"Entre guillemets\\\"\"}\n"
                  "{\"key\": \"Back\\\\slash\", \"found\": true, \"text\": \"Barre\\toblique\\r\\n\"}\n")
            << flags;
    }
}

TEST(CoreClientTest, ProgramTableSitsNextToTheProgram) {
    const FilePathSpec table = LocalizedStringsFile();
    ASSERT_TRUE(table.Exists()) << table.GetPath();
    LoadLocalizedStrings(table, kColumnEnglish);
    std::string text;
    EXPECT_TRUE(GetLocalizedString("Camera:  ", text));
    EXPECT_EQ(text, "Camera:  ");
}
