#include "LocalizedText.h"

#include "CLocaleText.h"
#include "FrenchTable.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

TEST(LocalizedText, ResourceTextsAndTheirTranslations) {
    EXPECT_EQ(LoadUntranslatedString(IDS_RENDERING_IMAGE), "Rendering Image");
    EXPECT_EQ(LoadUntranslatedString(IDS_ALREADY_EXISTS_REPLACE), "%s already exists.\nDo you want to replace it?");
    EXPECT_EQ(LoadUntranslatedString(IDS_NAME_BAD_CHARACTERS),
              "The name cannot contain any of the following characters:  \\/:?\"<>|.\n");
    EXPECT_EQ(LoadUntranslatedString(999999), "");

    FrenchTable french({{"Rendering Image", "Rendu de l'image"}, {"English", "Anglais"}});
    ASSERT_TRUE(french.ok());
    EXPECT_EQ(LoadTranslatedString(IDS_RENDERING_IMAGE), "Rendu de l'image");
    // Names that are compared stay English.
    EXPECT_EQ(LoadUntranslatedString(IDS_ENGLISH), "English");
    // No entry: the English text.
    EXPECT_EQ(LoadTranslatedString(IDS_SAVING_FILES), "Saving File(s)");
    EXPECT_EQ(TranslateString("Not in the table"), "Not in the table");
}

// Runs with a user locale of a decimal comma (the setup script generates
// fr_FR.UTF-8); skipped where the machine has none.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("LC_ALL");
        oldAll_ = old ? old : "";
        hadAll_ = old != nullptr;
        setenv("LC_ALL", "fr_FR.UTF-8", 1);
        if (!std::setlocale(LC_NUMERIC, "")) GTEST_SKIP() << "no fr_FR.UTF-8 locale";
    }
    void TearDown() override {
        if (hadAll_) setenv("LC_ALL", oldAll_.c_str(), 1);
        else unsetenv("LC_ALL");
        std::setlocale(LC_NUMERIC, "C");
    }

private:
    std::string oldAll_;
    bool hadAll_ = false;
};

TEST_F(CommaLocale, UserSeparatorForShowingAndParsing) {
    EXPECT_EQ(UserDecimalSeparator(), ",");
    EXPECT_EQ(ToLocaleDecimalPoint("2.5"), "2,5");
    EXPECT_EQ(FromLocaleDecimalPoint("2,5"), "2.5");
    double parsed = 0;
    EXPECT_EQ(ScanCLocale(FromLocaleDecimalPoint("2,5"), "%lf", &parsed), 1);
    EXPECT_EQ(parsed, 2.5);
    // Even with the process itself in that locale, the program's own
    // formatting and reading keep the point.
    EXPECT_EQ(FormatCLocale("%1.5f", 2.5), "2.50000");
    EXPECT_EQ(FormatCLocale("%6.3f", 640.0), "640.000");
    float f = 0;
    EXPECT_EQ(ScanCLocale("640.000", "%f", &f), 1);
    EXPECT_EQ(f, 640.0f);
    // And with the process set back to "C", as the program does after GTK
    // starts, the user's separator is still found.
    std::setlocale(LC_NUMERIC, "C");
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%1.5f", 2.5);
    EXPECT_STREQ(buffer, "2.50000");
    EXPECT_EQ(ToLocaleDecimalPoint("2.5"), "2,5");
}

TEST(LocalizedText, PointLocaleChangesNothing) {
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(ToLocaleDecimalPoint("2.5"), "2.5");
    EXPECT_EQ(FromLocaleDecimalPoint("2,5"), "2,5");
    unsetenv("LC_ALL");
}

} // namespace
