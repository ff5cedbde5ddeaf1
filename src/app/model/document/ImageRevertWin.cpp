#include "ImageRevertWin.h"

#include "FilePathSpec.h"
#include "Image.h"
#include "ImageRendering.h"
#include "RenameFailureQuestion.h"
#include "UndoHost.h"
#include "YlmErrp.h"

#include <algorithm>
#include <memory>

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
            if (!GoOnAfterRenameFailure(count, error.GetCode())) break;
        } catch (...) {
            // Whatever else went wrong with this file, the others are tried.
        }
        if (progress) progress->StepIt();
    }
    progress.reset();
    host_->SetFolderRescanEnabled(true);
}
