#pragma once
// Where Lumora finds and keeps its files on Linux. Every folder has an
// environment override so tests and installs can move it; values are read on
// every call, never cached, so a process can change them between uses.
#include <filesystem>
#include <string>

namespace lumora {

class Locations {
public:
    // Folder of the running program (LUMORA_PROGRAM_DIR, else the folder of
    // /proc/self/exe): modules, PlugIns/, the string table, help.
    // Empty when it cannot be determined.
    static std::filesystem::path ProgramDir();

    // The system folder (LUMORA_SYSTEM_DIR, else <program>/../share/lumora/system):
    // VqAPI.prf, the filter data base and the colour folder. Empty when unknown.
    static std::filesystem::path SystemDir();

    // The colour folder inside the system folder (spool/drivers/color).
    static std::filesystem::path ColorDir();

    // The settings file (LUMORA_CONFIG_FILE, else $XDG_CONFIG_HOME/Orvex/Lumora.conf).
    static std::filesystem::path ConfigFile();

    // Folder of vxfilter.ini (LUMORA_PREF_DIR, else $XDG_CONFIG_HOME/orvex).
    static std::filesystem::path PrefDir();

    // Folder for temporary files ($TMPDIR, else /tmp).
    static std::filesystem::path TempDir();

    // Folder for sockets and locks ($XDG_RUNTIME_DIR/lumora, else
    // <temp>/lumora-<uid>). Not created here.
    static std::filesystem::path RuntimeDir();

    // Creates a new, empty temporary file in TempDir() whose name starts with
    // prefix (mkstemp). Answers the open descriptor and sets path, or -1 with
    // errno set and path cleared.
    static int CreateTempFile(const std::string& prefix, std::filesystem::path& path);

private:
    static std::filesystem::path ConfigHome();
};

} // namespace lumora
