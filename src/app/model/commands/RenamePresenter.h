#pragma once
// The Rename dialog's logic: for one image the new file name, for several a
// base name with a zero-padded sequence number of a chosen width from a
// chosen start (continuing the last batch's numbering), with the first
// image's resulting name shown. Problems show in the dialog's own line and
// keep Rename disabled; nothing is stored here, the caller renames.
#include "DialogView.h"
#include "EditFieldView.h"

#include <string>

enum RenameDialogControl : int {
    kRenameButton = 1,
    kRenameBaseName = 1159,
    kRenameNumberGroup = 1160,
    kRenameDigitsLabel = 1161,
    kRenameDigits = 1162,
    kRenameStart = 1163,
    kRenameStartLabel = 1164,
    kRenamePreview = 1165,
    kRenameMessage = 1167,
    kRenamePreviewLabel = 1168,
};

enum RenameStringId : int {
    IDS_RENAME_NO_BASE_NAME = 1124,
    IDS_RENAME_DIGITS_RANGE = 1125,
    IDS_RENAME_DIGITS_FOR_START = 1126,
    IDS_RENAME_DIGITS_FOR_COUNT = 1127,
    IDS_RENAME_STARS = 1128,
    IDS_RENAME_EXTENSION_CHANGE = 60051,
};

class RenamePresenter {
public:
    static constexpr int kMaxNameLength = 234;
    static constexpr int kMaxDigits = 9;

    // name: for one image the whole file name, for several the first
    // image's name without its extension; extension with its dot.
    RenamePresenter(DialogView& view, EditFieldView& fields, int imageCount, std::string name,
                    std::string extension);

    void InitDialog();
    // After opening and every change: whether the input can be used.
    bool Validate();
    void UpdatePreview();
    void OnBaseNameChanged();
    void OnNumberChanged();
    // Rename pressed: false keeps the dialog open (the input is not usable,
    // or the user kept the old extension).
    bool OnOK();

    // The name of one image of the batch: for several images the number
    // start, zero-padded to digits, at the first "*" or appended to the
    // name cut to leave room for it; one image's name as it stands.
    std::string ApplyNumbering(int digits, int start, const std::string& name) const;
    static std::string NumberedName(int digits, int start, const std::string& name);

    const std::string& GetBaseName() const { return baseName_; }
    void SetBaseName(const std::string& name) { baseName_ = name; }
    int GetStartFrom() const { return startFrom_; }
    void SetStartFrom(int start) { startFrom_ = start; }
    int GetNumDigits() const { return numDigits_; }
    void SetNumDigits(int digits) { numDigits_ = digits; }
    const std::string& PreviewName() const { return previewName_; }
    bool Multiple() const { return multiple_; }

private:
    DialogView& view_;
    EditFieldView& fields_;
    std::string baseName_;
    std::string extension_;
    std::string previewName_;
    int imageCount_;
    bool multiple_;
    int numDigits_ = 1;
    int startFrom_ = 1;
};
