#pragma once
// What the Save Selected As dialog does besides browsing: it follows the
// shown folder into its button, sets up renaming, the file type, Open With
// and the export options, and checks the rename setup before it accepts
// the folder. Its values belong to the dialog class, not to one dialog: one
// use's values are there for the next.
#include "DialogView.h"
#include "FolderPicker.h"

#include <functional>
#include <string>

enum SaveSelectedControl : int {
    kSaveOpenWithBox = 1088,
    kSaveOptionsButton = 1375,
};

enum SaveFileType : int { kFileTypeTIFF = 1, kFileTypeJPEG = 2, kFileTypeAsIs = 3 };

struct SaveSelectedState {
    std::string title;
    int imageCount = 0;
    int renameFiles = 0;
    std::string baseName;
    int numDigits = 1;
    int startFrom = 1;
    int openWith = 0;
    std::string openWithApp;
    int fileType = kFileTypeTIFF;
    // The Open With box stays disabled while no application is known.
    bool openWithAvailable = true;

    static SaveSelectedState& Get();
};

class SaveSelectedPresenter {
public:
    // The type the settings remember for Save Selected As: 1 TIFF, 2 JPEG,
    // 3 as is (anything else TIFF).
    static int FileTypeFromSettings();

    // As the dialog is made: clears the choice and the rename box, and loads
    // the base name, digits, start, Open With and its application from the
    // settings (0 digits or start read as 1).
    explicit SaveSelectedPresenter(DialogView& view);

    // The dialog appears.
    void InitDialog();
    // The selection or the shown folder changed.
    void SelectionChanged(const std::string& selection);
    // The user picked another file type (filter index 1..3).
    void TypeChanged(int filterIndex);
    void RenameClicked();
    void OpenWithClicked();
    // The Options... button: the caller shows the preferences for the type.
    void OptionsClicked(const std::function<void(int fileType)>& showOptions);
    // The folder button: accepts the folder, after the rename checks when
    // renaming is on.
    void FolderButtonClicked();

private:
    void Accept();

    DialogView& view_;
};
