#pragma once
// Send To: hands images to the image editor the user chose. Every image
// that must be developed first is written as a TIFF file into the send-to
// folder, and each resulting file (or, for an image that needs no
// developing, the image's own file) is then opened with the editor, or with
// the program the desktop associates with it when no editor is set. Made on
// the stack by a document's command and destroyed at once.
#include "FilePathSpec.h"
#include "ImageProcessParam.h"
#include "SendImageUI.h"

#include <string>
#include <vector>

namespace NimbalCore {
class Image;
class ImageRendering;
class ExportImageArray;
class ProgressCB;
}

class CSendImageHandler {
public:
    explicit CSendImageHandler(SendImageUI& ui);
    CSendImageHandler(const CSendImageHandler&) = delete;
    CSendImageHandler& operator=(const CSendImageHandler&) = delete;

    // The contact sheet's selection in selection order; a null entry is an
    // empty one. A null list does nothing.
    void SendImages(const std::vector<NimbalCore::ImageRendering*>* selection);
    // The preview's rendering; null does nothing.
    void SendImage(NimbalCore::ImageRendering* rendering);

    // Reads the send-to folder; false, after telling the user, when it is
    // not set or is not a folder.
    bool CheckSendToFolder();
    // The batch of the selection and the preview's single image.
    void RenderAndSendAll();
    void RenderOne();
    // Opens the file to launch with the editor (or the associated program);
    // a program that cannot be started is reported.
    void OpenWithEditor();
    // The preview's replace question: 6 Yes, 7 No. The batch's: 1 replace,
    // 2 cancel, -1 without a dialog. Yes is refused with 1804 when the
    // target cannot be replaced.
    int SaveAsOverwritePrompt(NimbalCore::FilePathSpec target);
    int SaveAsOverwritePrompt(SendImageUI::Question* dialog, NimbalCore::FilePathSpec target);

    // 0 after a cancel or a failure that ended the work, 1 after a run.
    int Succeeded() const { return succeeded_; }
    const std::string& LaunchPath() const { return launchPath_; }

    // The file an image is written to: the folder, "/", the file's name cut
    // before its last "." and ".tif", composed literally.
    static std::string TargetPath(const std::string& folder, const std::string& fileName);
    // Whether the image can be rendered linear with these parameters: it
    // offers linear, and it is not a colour image set to grayscale.
    static bool LinearPossible(NimbalCore::Image* image, const NimbalCore::ImageProcessParam& params);
    // The colour mode and working space a rendered image is written with.
    // Output mode 0 is Linear Mode; any other value renders into the
    // working space.
    static void ApplyOutputMode(NimbalCore::ImageProcessParam& params, int outputMode, bool linearPossible,
                                const std::string& workingSpace);

private:
    struct ExportSettings {
        bool sixteenBits = false;
        bool renderGPS = false;
        bool embedProfile = false;
        int outputMode = 1;
    };
    static ExportSettings ReadExportSettings();
    // Writes the prepared rendering copy to the target.
    void ExportOne(NimbalCore::ImageRendering& copy, const NimbalCore::FilePathSpec& target,
                   NimbalCore::ExportImageArray& array, const ExportSettings& settings,
                   NimbalCore::ProgressCB* progress);
    std::string OverwriteQuestionText(const NimbalCore::FilePathSpec& target);
    static void CheckReplaceable(const NimbalCore::FilePathSpec& target);
    void ShowMessage(int stringId, const std::vector<std::string>& args);
    // The warning that Linear Mode cannot be kept; false when cancelled.
    bool AcceptLinearNotPossible();

    int succeeded_ = 1;
    std::string editorPath_;
    std::string sendToFolder_;
    std::string launchPath_;
    NimbalCore::ImageRendering* rendering_ = nullptr;
    const std::vector<NimbalCore::ImageRendering*>* selection_ = nullptr;
    SendImageUI& ui_;
};
