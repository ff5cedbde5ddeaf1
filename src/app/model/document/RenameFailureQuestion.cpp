#include "RenameFailureQuestion.h"

#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "StringIds.h"

#include <string>

namespace {

enum RenameFailureMessage : int {
    IDS_RENAME_FAILED = 60049,
    IDS_RENAME_ACCESS_DENIED = 60050,
    IDS_RENAME_EXISTS = 60052,
    IDS_RENAME_EXISTS_CONTINUE = 60053,
    IDS_RENAME_ACCESS_DENIED_CONTINUE = 60054,
    IDS_RENAME_FAILED_CONTINUE = 60055,
};

constexpr int kAccessDenied = 1819;
constexpr int kNameExists = 1820;

} // namespace

bool GoOnAfterRenameFailure(size_t fileCount, int code) {
    const std::string caption = LoadTranslatedString(IDS_APP_TITLE);
    if (fileCount == 1) {
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
