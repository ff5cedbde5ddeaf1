#include "ShellServices.h"

#include "GioProgramLauncher.h"
#include "GioTrash.h"
#include "Locations.h"
#include "LocalizedStrings.h"
#include "ProfileItemManager.h"
#include "SdlSoundOutput.h"
#include "WxClipboard.h"
#include "WxDisplayGeometry.h"
#include "WxKeyState.h"
#include "WxMessageBoxService.h"
#include "WxProfileStore.h"
#include "YlmErrp.h"

#include <clocale>
#include <memory>

namespace {

struct Services {
    std::unique_ptr<WxProfileStore> store;
    WxDisplayGeometry display;
    WxKeyState keys;
    WxMessageBoxService boxes;
    GioProgramLauncher launcher;
    GioTrash trash;
    SdlSoundOutput sound;
    WxClipboard clipboard;
};

std::unique_ptr<Services> gServices;

} // namespace

void UseProgramNumericLocale() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

void InstallShellServices(const std::filesystem::path& settingsFile) {
    RemoveShellServices();
    gServices = std::make_unique<Services>();
    gServices->store =
        std::make_unique<WxProfileStore>(settingsFile.empty() ? lumora::Locations::ConfigFile() : settingsFile);
    ProfileStore::SetCurrent(gServices->store.get());
    DisplayGeometry::SetCurrent(&gServices->display);
    KeyState::SetCurrent(&gServices->keys);
    MessageBoxService::SetCurrent(&gServices->boxes);
    ProgramLauncher::SetCurrent(&gServices->launcher);
    Trash::SetCurrent(&gServices->trash);
    SoundOutput::SetCurrent(&gServices->sound);
    Clipboard::SetCurrent(&gServices->clipboard);
}

void RemoveShellServices() {
    if (!gServices) return;
    ProfileStore::SetCurrent(nullptr);
    DisplayGeometry::SetCurrent(nullptr);
    KeyState::SetCurrent(nullptr);
    MessageBoxService::SetCurrent(nullptr);
    ProgramLauncher::SetCurrent(nullptr);
    Trash::SetCurrent(nullptr);
    SoundOutput::SetCurrent(nullptr);
    Clipboard::SetCurrent(nullptr);
    gServices.reset();
}

bool LoadLanguageTable() {
    std::string language;
    ProfileItemManager().GetString(PI_LANGUAGE, language);
    try {
        NimbalCore::LoadLocalizedStrings(NimbalCore::LocalizedStringsFile(),
                                         NimbalCore::LocalizedColumnForLanguage(language));
        return true;
    } catch (const YlmErrp&) {
        return false;
    }
}
