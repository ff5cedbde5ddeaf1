#pragma once
// The checks of a batch's rename setup (base name, number of digits, first
// number) before Save Selected As accepts its folder. Every failed check adds
// its message; the first one chooses the control that gets the focus.
#include <string>

// Control ids of the rename setup.
enum RenameControl : int {
    kRenameFilesBox = 1063,
    kRenameBaseNameEdit = 1064,
    kRenameDigitsEdit = 1065,
    kRenameStartEdit = 1066,
    kRenameBaseNameLabel = 1068,
};

struct RenameCheck {
    bool ok = true;
    std::string message;   // the failed checks' texts, in order
    int focusId = 0;       // the first failed check's control
    // What the checks read (kept by the dialog also when a check failed).
    std::string baseName;  // leading white space removed
    bool digitsRead = false;
    int numDigits = 0;
    bool startRead = false;
    int startFrom = 0;
};

// The number of decimal digits n needs by the rule ceil(log10(n)), computed
// in integers: 0 for n <= 1.
int DigitsForCount(long long n);

// numDigits and startFrom are the values in force: a text that does not
// read as a number leaves its value as it was.
RenameCheck CheckRenameSetup(const std::string& baseNameText, const std::string& digitsText,
                             const std::string& startText, int imageCount, int numDigits, int startFrom);
