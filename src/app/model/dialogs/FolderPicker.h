#pragma once
// The folder the file dialogs of the program follow, and the text of their
// folder button. A selected file stands for its folder; the root "/" plays
// the part of a drive.
#include <string>

enum class FolderPickerKind { Browse, Open, Save };

// Control ids of the folder pickers.
enum FolderPickerControl : int {
    kPickerOk = 1,
    kPickerOpenFolderButton = 1000,
    kPickerSaveFolderButton = 1067,
    kPickerFileTypeLabel = 1089,
    kPickerFileNameLabel = 1090,
    kPickerFileTypeList = 1136,
    kPickerFileNameEdit = 1152,
};

// The folder the user looks at for the dialog's selection: the path itself
// when it is a folder, else its folder (without a trailing "/", the root
// kept). Empty for an empty selection.
std::string TrackedFolder(const std::string& selection);

struct FolderButtonState {
    std::string text;
    bool enabled = false;
};

// The folder button's translated text for a tracked folder: its last
// component (a name longer than 34 characters cut to 32 and "..."), the root,
// or no folder at all (disabled).
FolderButtonState FolderButtonFor(FolderPickerKind kind, const std::string& folder);

// The folder a chosen button gives: the save pickers drop one trailing "/"
// (never the root's own); the open picker keeps the path as tracked.
std::string AcceptedFolder(FolderPickerKind kind, const std::string& folder);

// The state every dialog of one kind shares: one dialog at a time.
struct FolderPickerState {
    std::string folderPath;
    int folderChosen = 0;

    static FolderPickerState& Of(FolderPickerKind kind);
};
