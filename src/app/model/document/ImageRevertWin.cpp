#include "ImageRevertWin.h"

#include "FilePathSpec.h"
#include "Image.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "StringIds.h"
#include "UndoHost.h"
#include "YlmErrp.h"

#include <algorithm>
#include <memory>

namespace {

enum RenameBackMessage : int {
    IDS_RENAME_FAILED = 60049,
    IDS_RENAME_ACCESS_DENIED = 60050,
    IDS_RENAME_EXISTS = 60052,
    IDS_RENAME_EXISTS_CONTINUE = 60053,
    IDS_RENAME_ACCESS_DENIED_CONTINUE = 60054,
    IDS_RENAME_FAILED_CONTINUE = 60055,
};

constexpr int kAccessDenied = 1819;
constexpr int kNameExists = 1820;

// Tells the user a file could not get its name back; true when the
// remaining files are to be renamed all the same.
bool GoOnAfterFailure(size_t count, int code) {
    const std::string caption = LoadTranslatedString(IDS_APP_TITLE);
    if (count == 1) {
        const int text = code == kAccessDenied ? IDS_RENAME_ACCESS_DENIED
                         : code == kNameExists ? IDS_RENAME_EXISTS
                                               : IDS_RENAME_FAILED;
        MessageBoxService::Current().Show(LoadTranslatedString(text), caption, MessageBoxService::kOk);
        return false;
    }
    const int text = code == kAccessDenied ? IDS_RENAME_ACCESS_DENIED_CONTINUE
                     : code == kNameExists ? IDS_RENAME_EXISTS_CONTINUE
                                           : IDS_RENAME_FAILED_CONTINUE;
    return MessageBoxService::Current().Show(LoadTranslatedString(text), caption, MessageBoxService::kYesNo) ==
           MessageBoxService::kAnswerYes;
}

} // namespace

ImageRevertWin::ImageRevertWin(const std::vector<NimbalCore::ImageRendering*>& renderings, bool keepParams,
                               bool keepIPTC, bool keepTags, bool keepAnnotation, bool keepFileNames, UndoHost* host)
    : ImageRevert(renderings, keepParams, keepIPTC, keepTags, keepAnnotation, keepFileNames), host_(host) {
    // The snapshot has checked that every rendering has an image.
    for (NimbalCore::ImageRendering* rendering : renderings) images_.push_back({rendering, *rendering->GetImage()});
}

void ImageRevertWin::OnRestore() {
    if (CapturesNames()) RestoreFileNames();
}

bool ImageRevertWin::Forget(const NimbalCore::ImageRendering* rendering) {
    const bool held = std::find(GetRenderings().begin(), GetRenderings().end(), rendering) != GetRenderings().end();
    RemoveRendering(rendering);
    std::erase_if(images_, [rendering](const HeldImage& held) { return held.rendering == rendering; });
    std::erase(savedSelection_, rendering);
    return !held || !GetRenderings().empty();
}

void ImageRevertWin::RestoreFileNames() {
    // A copy: renaming tells the documents, which may forget renderings of
    // this step meanwhile.
    const std::vector<NameEntry> names = GetNameEntries();
    const size_t count = names.size();
    if (count == 0 || !host_) return;
    const auto imageOf = [this](const NimbalCore::ImageRendering* rendering) {
        const auto held = std::find_if(images_.begin(), images_.end(),
                                       [rendering](const HeldImage& h) { return h.rendering == rendering; });
        return held == images_.end() ? NimbalCore::ImageRef() : held->image;
    };
    if (count == 1) {
        const NimbalCore::ImageRef first = imageOf(names[0].rendering);
        if (!first || first->GetFileName() == names[0].fileName) return;
    }
    std::unique_ptr<UndoRenameProgress> progress;
    if (count != 1) progress = host_->OpenRenameProgress(int(count));
    if (!host_->HasApplication()) return;
    host_->SetFolderRescanEnabled(false);
    for (const NameEntry& entry : names) {
        try {
            const NimbalCore::ImageRef image = imageOf(entry.rendering);
            if (image) {
                const NimbalCore::FilePathSpec oldPath = image->GetFilePathSpec();
                NimbalCore::FilePathSpec newPath = oldPath.GetFolder();
                newPath.Append(entry.fileName);
                if (image->IsOpen()) image->Close();
                host_->ReplaceRecentFile(oldPath.GetPath(), newPath.GetPath());
                image->Rename(newPath);
            }
        } catch (const YlmErrp& error) {
            if (!GoOnAfterFailure(count, error.GetCode())) break;
        } catch (...) {
            // Whatever else went wrong with this file, the others are tried.
        }
        if (progress) progress->StepIt();
    }
    progress.reset();
    host_->SetFolderRescanEnabled(true);
}
