#include "SendToMenuItem.h"

#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "StringIds.h"
#include "TextSubstitution.h"

#include <sys/stat.h>
#include <unistd.h>

std::string SendToProgramName(const std::string& programPath) {
    const size_t slash = programPath.find_last_of('/');
    return slash == std::string::npos ? programPath : programPath.substr(slash + 1);
}

void UpdateSendToMenuItem(MenuSeam& menu) {
    std::string program;
    ProfileItemManager().GetString(PI_SEND_FILES_TO_PATH, program);
    if (program.empty()) {
        menu.Enable(kSendToCommand, false);
        return;
    }
    const std::string name = SendToProgramName(program);
    menu.Enable(kSendToCommand, true);
    if (!name.empty())
        menu.SetLabel(kSendToCommand,
                      TranslatedText(IDS_SEND_TO_ITEM, {name, LoadTranslatedString(IDS_SEND_TO_SHORTCUT)}));
}

std::string OpenWithFilter() { return LoadTranslatedString(IDS_OPEN_WITH_FILTER); }

std::string OpenWithStartFolder() {
    std::string program;
    ProfileItemManager().GetString(PI_SEND_FILES_TO_PATH, program);
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

bool IsRunnableProgram(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

void SetOpenWithProgram(const std::string& path, MenuSeam& mainMenu) {
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, path);
    UpdateSendToMenuItem(mainMenu);
}
