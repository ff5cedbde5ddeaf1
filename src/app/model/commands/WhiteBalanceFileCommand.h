#pragma once
// Save Balance File (32867): writes the focused image's white balance into
// a ".wb" file for the camera. The image says whether it can (with the
// reason when not); the user picks the file in a save dialog that opens at
// the root of the file system holding the document (a memory card's own
// root); a name of more than 8 characters before the extension is refused,
// as the camera reads no longer ones. Messages through MessageBoxService.
#include <optional>
#include <string>

namespace NimbalCore {
class Image;
}

class WhiteBalanceFileCommand {
public:
    static constexpr int kCommand = 32867;
    static constexpr size_t kMaxNameLength = 8;

    // The save dialog: the chosen path, or nothing on Cancel.
    class SaveDialog {
    public:
        virtual ~SaveDialog() = default;
        virtual std::optional<std::string> AskPath(const std::string& filter, const std::string& folder,
                                                   const std::string& fileName) = 0;
    };

    // sheetFilter: the contact sheet's filter text, else the preview's.
    // documentPath: the sheet's folder or the preview's image file. A null
    // image does nothing.
    static void Run(NimbalCore::Image* image, const std::string& documentPath, bool sheetFilter, SaveDialog& dialog);

    // The message of a reason the image gives for refusing.
    static int ReasonMessageId(int reason);
    // The mount point of the file system that holds the path; the path
    // itself when it cannot be read.
    static std::string InitialFolder(const std::string& documentPath);
    // Whether the file name before its extension is short enough.
    static bool NameFits(const std::string& path);
};
