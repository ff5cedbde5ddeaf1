#include "WhiteBalanceFileCommand.h"

#include "FilePathSpec.h"
#include "Image.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "StringIds.h"
#include "TextSubstitution.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

enum WhiteBalanceStringId : int {
    IDS_WB_UNABLE = 60026,
    IDS_WB_FIRST_REASON = 60027,
    IDS_WB_NAME_TOO_LONG = 60036,
    IDS_WB_SHEET_FILTER = 62009,
    IDS_WB_PREVIEW_FILTER = 62011,
    IDS_WB_DEFAULT_NAME = 62157,
};
constexpr int kLastReason = 6;

void ShowWhiteBalanceMessage(const std::string& text, MessageBoxService::Icon icon = MessageBoxService::kNoIcon) {
    MessageBoxService::Current().ShowWithIcon(text, LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk, icon);
}

} // namespace

int WhiteBalanceFileCommand::ReasonMessageId(int reason) {
    if (reason < 0 || reason > kLastReason) return IDS_WB_UNABLE;
    return IDS_WB_FIRST_REASON + reason;
}

std::string WhiteBalanceFileCommand::InitialFolder(const std::string& documentPath) {
    namespace fs = std::filesystem;
    struct stat info {};
    if (documentPath.empty() || ::stat(documentPath.c_str(), &info) != 0) return documentPath;
    // Up the folders while they lie on the same device: the last one is
    // where that file system is mounted.
    std::error_code error;
    fs::path at = fs::absolute(fs::path(documentPath), error).lexically_normal();
    if (error) return documentPath;
    if (!S_ISDIR(info.st_mode)) at = at.parent_path();
    for (;;) {
        const fs::path parent = at.parent_path();
        struct stat up {};
        if (parent == at || ::stat(parent.c_str(), &up) != 0 || up.st_dev != info.st_dev) break;
        at = parent;
    }
    return at.string();
}

bool WhiteBalanceFileCommand::NameFits(const std::string& path) {
    return std::filesystem::path(path).stem().string().size() <= kMaxNameLength;
}

void WhiteBalanceFileCommand::Run(NimbalCore::Image* image, const std::string& documentPath, bool sheetFilter,
                                  SaveDialog& dialog) {
    if (!image) return;
    try {
        int reason = -1;
        if (!image->CanWhiteBalanceFileBeSaved(&reason)) {
            ShowWhiteBalanceMessage(LoadTranslatedString(ReasonMessageId(reason)));
            return;
        }
        const std::optional<std::string> path =
            dialog.AskPath(LoadTranslatedString(sheetFilter ? IDS_WB_SHEET_FILTER : IDS_WB_PREVIEW_FILTER),
                           InitialFolder(documentPath), LoadTranslatedString(IDS_WB_DEFAULT_NAME));
        if (!path) return;
        if (!NameFits(*path)) {
            const std::string name = std::filesystem::path(*path).stem().string();
            ShowWhiteBalanceMessage(TranslatedText(IDS_WB_NAME_TOO_LONG, {name}),
                                    MessageBoxService::kExclamation);
            return;
        }
        image->WriteWhiteBalanceFile(NimbalCore::FilePathSpec(*path));
    } catch (...) {
        ShowWhiteBalanceMessage(LoadTranslatedString(IDS_WB_UNABLE));
    }
}
