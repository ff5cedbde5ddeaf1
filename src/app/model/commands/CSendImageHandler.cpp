#include "CSendImageHandler.h"

#include "ExportImage.h"
#include "ExportImageArray.h"
#include "ExportSizeOptions.h"
#include "Image.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "NbErrorCodes.h"
#include "ProfileItemManager.h"
#include "ProgramLauncher.h"
#include "ProgressCB.h"
#include "StringIds.h"
#include "TextSubstitution.h"
#include "WorkingSpaceOutputMode.h"
#include "YlmErrp.h"

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace NimbalCore;

namespace {

constexpr const char* kOverwritePrompt = "CSendImageHandler::SaveAsOverwritePrompt";
constexpr const char* kRenderOne = "CSendImageHandler::RenderOne";
constexpr int kExportKindTIFF = 0;
constexpr int kExtendedRangeJPEG = 3;
constexpr int kEndPauseMs = 500;

bool Offers(const std::vector<int>& modes, int mode) { return std::find(modes.begin(), modes.end(), mode) != modes.end(); }

// Which file a path names at one moment, so that after a failed export the
// handler can tell a file the export wrote from one that was there before.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity Of(const std::string& path) {
        FileIdentity id;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            id.exists = true;
            id.device = st.st_dev;
            id.inode = st.st_ino;
        }
        return id;
    }
    bool SameFile(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode;
    }
};

// The exporter's progress on a batch: the progress window stays painted and
// hears its Cancel button, which the batch reads between images, so the
// image being written is always finished or removed.
class KeepWindowResponsive : public ProgressCB {
public:
    explicit KeepWindowResponsive(SendImageUI::Progress& window) : window_(window) {}
    bool Progress(int) override {
        window_.KeepResponsive();
        return true;
    }

private:
    SendImageUI::Progress& window_;
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

CSendImageHandler::CSendImageHandler(SendImageUI& ui) : ui_(ui) {}

std::string CSendImageHandler::TargetPath(const std::string& folder, const std::string& fileName) {
    const size_t dot = fileName.find_last_of('.');
    const std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    return folder + "/" + base + ".tif";
}

bool CSendImageHandler::LinearPossible(Image* image, const ImageProcessParam& params) {
    const std::vector<int> modes = image->GetSupportedColorModes();
    return Offers(modes, 1) && !(Offers(modes, 0) && params.colorMode == 2);
}

void CSendImageHandler::ApplyOutputMode(ImageProcessParam& params, int outputMode, bool linearPossible,
                                        const std::string& workingSpace) {
    if (outputMode == 0 && linearPossible)
        params.colorMode = 1;
    else if (params.colorMode != 2)
        params.colorMode = 0;
    params.workingSpaceName = workingSpace;
    params.outputSpaceMode = 0;
}

CSendImageHandler::ExportSettings CSendImageHandler::ReadExportSettings() {
    ProfileItemManager pm;
    ExportSettings s;
    int sixteen = 0, gps = 0, embed = 0;
    pm.GetInt(PI_TIFF_16_BIT, sixteen);
    pm.GetInt(PI_TIFF_RENDER_GPS, gps);
    pm.GetInt(PI_EMBED_PROFILE_TIFF, embed);
    s.sixteenBits = sixteen != 0;
    s.renderGPS = gps == 1;
    s.embedProfile = embed == 1;
    int mode = -1;
    GetWorkingSpaceOutputMode(mode);
    // Only 0 asks for linear output; a value left unknown by a failed
    // migration renders into the working space on every road.
    s.outputMode = mode == 0 ? 0 : 1;
    return s;
}

void CSendImageHandler::ShowMessage(int stringId, const std::vector<std::string>& args) {
    MessageBoxService::Current().Show(TranslatedText(stringId, args),
                                      LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
}

void CSendImageHandler::SendImages(const std::vector<ImageRendering*>* selection) {
    if (!selection) return;
    selection_ = selection;
    if (CheckSendToFolder()) RenderAndSendAll();
}

void CSendImageHandler::SendImage(ImageRendering* rendering) {
    if (!rendering) return;
    rendering_ = rendering;
    const ImageRef image = *rendering->GetImage();
    if (!image) return;
    launchPath_ = image->GetFilePathSpec().GetPath();
    if (image->ImageShouldBeRenderedForExport()) {
        if (!CheckSendToFolder()) return;
        RenderOne();
        if (succeeded_ == 0) return;
        launchPath_ = sendToFolder_;
    }
    OpenWithEditor();
}

bool CSendImageHandler::CheckSendToFolder() {
    ProfileItemManager().GetString(PI_SEND_TO_FOLDER, sendToFolder_);
    if (sendToFolder_.empty()) {
        ShowMessage(IDS_SEND_TO_FOLDER_MISSING, {});
        return false;
    }
    bool folder = false;
    try {
        folder = FilePathSpec(sendToFolder_).IsFolder();
    } catch (...) {
        folder = false;
    }
    if (!folder) {
        ShowMessage(IDS_SEND_TO_FOLDER_INVALID, {});
        return false;
    }
    return true;
}

void CSendImageHandler::OpenWithEditor() {
    ProfileItemManager().GetString(PI_SEND_FILES_TO_PATH, editorPath_);
    ProgramLauncher& launcher = ProgramLauncher::Current();
    const bool started = editorPath_.empty() ? launcher.OpenWithAssociatedProgram(launchPath_)
                                             : launcher.StartProgram(editorPath_, {launchPath_});
    if (!started) ShowMessage(IDS_SEND_TO_CANNOT_OPEN, {launchPath_, editorPath_});
}

std::string CSendImageHandler::OverwriteQuestionText(const FilePathSpec& target) {
    int text = IDS_ALREADY_EXISTS_REPLACE;
    {
        ImageRef existing;
        try {
            if (ImageWerks().OpenImage(target, existing) == 0 && existing &&
                existing->GetFileType() == kExtendedRangeJPEG)
                text = IDS_ALREADY_EXISTS_METADATA_LOST;
        } catch (...) {
        }
    }
    return TranslatedText(text, {target.GetPath()});
}

void CSendImageHandler::CheckReplaceable(const FilePathSpec& target) {
    // The old file stays until the new one is complete; what is checked
    // here is that it could be replaced: no open image uses it, it is a
    // file, and its folder lets it be removed.
    if (ImagePool::Instance()->Contains(target)) YLM_THROW(kOverwritePrompt, NbErrFileDeleteFailed);
    const std::string path = target.GetPath();
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) YLM_THROW(kOverwritePrompt, NbErrFileDeleteFailed);
    if (::access(FolderOf(path).c_str(), W_OK | X_OK) != 0) YLM_THROW(kOverwritePrompt, NbErrFileDeleteFailed);
}

int CSendImageHandler::SaveAsOverwritePrompt(FilePathSpec target) {
    const std::string text = OverwriteQuestionText(target);
    const int answer = MessageBoxService::Current().ShowWithIcon(text, LoadTranslatedString(IDS_APP_TITLE),
                                                                 MessageBoxService::kYesNo, MessageBoxService::kNoIcon);
    if (answer != MessageBoxService::kAnswerYes) return MessageBoxService::kAnswerNo;
    CheckReplaceable(target);
    return MessageBoxService::kAnswerYes;
}

int CSendImageHandler::SaveAsOverwritePrompt(SendImageUI::Question* dialog, FilePathSpec target) {
    if (!dialog) return -1;
    if (dialog->Ask(OverwriteQuestionText(target)) == 2) return 2;
    CheckReplaceable(target);
    return 1;
}

void CSendImageHandler::ExportOne(ImageRendering& copy, const FilePathSpec& target, ExportImageArray& array,
                                  const ExportSettings& settings, ProgressCB* progress) {
    Image* image = copy.GetImage()->Get();
    array.SetBytesPerSample(settings.sixteenBits && image->Supports16BitOutput() ? 2 : 1);
    std::unique_ptr<ExportImage> exporter(image->CreateExportImage(kExportKindTIFF, &copy, target, &array, 0));
    if (!exporter) YLM_THROW(kRenderOne, NbErrNotSupported);
    ExportSizeOptions size;
    ProfileItemManager().GetExportSizeSettings(size);
    exporter->SetSizeOptions(size);
    exporter->SetEmbedProfile(settings.embedProfile);
    exporter->SetRenderGPSText(settings.renderGPS);
    exporter->SetProgressCB(progress);
    // A failed export takes away what it wrote at the target, and only
    // that: a file that was there before stays.
    const FileIdentity before = FileIdentity::Of(target.GetPath());
    try {
        exporter->SaveFile();
    } catch (...) {
        const FileIdentity after = FileIdentity::Of(target.GetPath());
        if (after.exists && !after.SameFile(before)) ::unlink(target.GetPath().c_str());
        throw;
    }
}

void CSendImageHandler::RenderOne() {
    ui_.BeginWaitCursor();
    std::string sourceName;
    try {
        ImageRef image = *rendering_->GetImage();
        sourceName = image->GetFileName();
        sendToFolder_ = TargetPath(sendToFolder_, sourceName);
        const FilePathSpec target(sendToFolder_);
        const bool linear = LinearPossible(image.Get(), rendering_->GetProcessParam());
        const ExportSettings settings = ReadExportSettings();

        if (target.Exists()) {
            if (SaveAsOverwritePrompt(target) != MessageBoxService::kAnswerYes) {
                succeeded_ = 0;
                ui_.EndWaitCursor();
                return;
            }
            ui_.RestoreWaitCursor();
        }
        ExportImageArray array;
        ImageRendering copy(*rendering_);
        ImageProcessParam params = copy.GetProcessParam();
        if (settings.outputMode == 0 && !linear && !AcceptLinearNotPossible()) {
            succeeded_ = 0;
            ui_.EndWaitCursor();
            return;
        }
        std::string workingSpace;
        ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, workingSpace);
        ApplyOutputMode(params, settings.outputMode, linear, workingSpace);
        *copy.GetProcessParamPtr() = params;
        ExportOne(copy, target, array, settings, nullptr);
        succeeded_ = 1;
    } catch (const YlmErrp& error) {
        succeeded_ = 0;
        if (error.GetCode() != NbErrRenderCancelled) ShowMessage(IDS_SEND_TO_SAVE_FAILED, {sourceName, sendToFolder_});
    } catch (...) {
        succeeded_ = 0;
        ShowMessage(IDS_SEND_TO_SAVE_FAILED, {sourceName, sendToFolder_});
    }
    ui_.EndWaitCursor();
}

bool CSendImageHandler::AcceptLinearNotPossible() {
    const int answer = MessageBoxService::Current().Show(LoadTranslatedString(IDS_LINEAR_NOT_POSSIBLE),
                                                         LoadTranslatedString(IDS_APP_TITLE),
                                                         MessageBoxService::kOkCancel);
    if (answer != MessageBoxService::kAnswerOk) return false;
    ui_.RestoreWaitCursor();
    return true;
}

void CSendImageHandler::RenderAndSendAll() {
    ui_.BeginWaitCursor();
    std::unique_ptr<SendImageUI::Progress> progress;
    std::string sourceName, targetPath;
    auto closeProgress = [&] {
        if (progress) progress->Close();
        progress.reset();
    };
    try {
        std::unique_ptr<SendImageUI::Question> failure = ui_.MakeQuestion();
        std::unique_ptr<SendImageUI::Question> overwrite = ui_.MakeQuestion();
        overwrite->SetSecondButtonText(LoadTranslatedString(IDS_SEND_TO_CANCEL));
        const ExportSettings settings = ReadExportSettings();

        // The batch works on copies of the slides' renderings: while its
        // progress window runs the program's events, the contact sheet may
        // drop a slide, and its rendering with it.
        std::vector<std::unique_ptr<ImageRendering>> entries;
        for (ImageRendering* entry : *selection_)
            entries.push_back(entry ? std::make_unique<ImageRendering>(*entry) : nullptr);

        if (settings.outputMode == 0) {
            for (const auto& entry : entries) {
                if (!entry) continue;
                Image* image = entry->GetImage()->Get();
                if (!image || !image->ImageShouldBeRenderedForExport()) continue;
                if (LinearPossible(image, entry->GetProcessParam())) continue;
                if (!AcceptLinearNotPossible()) {
                    succeeded_ = 0;
                    ui_.EndWaitCursor();
                    return;
                }
                break;
            }
        }

        if (entries.size() > 1) progress = ui_.MakeProgress(IDS_SENDING_FILES, int(entries.size()));
        std::unique_ptr<KeepWindowResponsive> responsive;
        if (progress) responsive = std::make_unique<KeepWindowResponsive>(*progress);
        ExportImageArray array;
        std::string workingSpace;
        ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, workingSpace);

        for (const auto& entry : entries) {
            if (progress && progress->CancelPressed()) {
                closeProgress();
                ui_.EndWaitCursor();
                return;
            }
            auto step = [&] {
                if (progress) progress->Step();
            };
            if (!entry) {
                step();
                continue;
            }
            const ImageRef image = *entry->GetImage();
            if (!image) {
                step();
                continue;
            }
            sourceName = image->GetFileName();
            targetPath.clear();
            if (!image->ImageShouldBeRenderedForExport()) {
                launchPath_ = image->GetFilePathSpec().GetPath();
                OpenWithEditor();
                step();
                continue;
            }
            targetPath = TargetPath(sendToFolder_, sourceName);
            const FilePathSpec target(targetPath);
            // One image's failure scope: the replace, the export and the
            // launch.
            bool cancelled = false, failed = false;
            try {
                if (target.Exists()) {
                    if (overwrite->YesToAll()) {
                        CheckReplaceable(target);
                    } else {
                        if (SaveAsOverwritePrompt(overwrite.get(), target) == 2) {
                            succeeded_ = 0;
                            closeProgress();
                            ui_.EndWaitCursor();
                            return;
                        }
                        ui_.RestoreWaitCursor();
                    }
                }
                ImageRendering copy(*entry);
                ImageProcessParam params = copy.GetProcessParam();
                ApplyOutputMode(params, settings.outputMode, LinearPossible(image.Get(), params), workingSpace);
                *copy.GetProcessParamPtr() = params;
                ExportOne(copy, target, array, settings, responsive.get());
                launchPath_ = targetPath;
                OpenWithEditor();
            } catch (const YlmErrp& error) {
                cancelled = error.GetCode() == NbErrRenderCancelled;
                failed = !cancelled;
            } catch (...) {
                failed = true;
            }
            if (cancelled) {
                succeeded_ = 0;
                closeProgress();
                ui_.EndWaitCursor();
                return;
            }
            if (failed && !failure->YesToAll()) {
                const std::string text =
                    TranslatedText(IDS_SEND_TO_SAVE_FAILED, {sourceName, targetPath}) +
                    LoadTranslatedString(IDS_CONTINUE_SAVING);
                if (failure->Ask(text) == 2) {
                    succeeded_ = 0;
                    closeProgress();
                    ui_.EndWaitCursor();
                    return;
                }
                ui_.RestoreWaitCursor();
            }
            step();
        }
        closeProgress();
        ui_.Pause(kEndPauseMs);
        succeeded_ = 1;
    } catch (...) {
        succeeded_ = 0;
        closeProgress();
        ShowMessage(IDS_SEND_TO_SAVE_FAILED, {sourceName, targetPath});
    }
    ui_.EndWaitCursor();
}
