#pragma once
// Where the running instances meet: the runtime folder, the lock of the
// first instance and the automation socket.
#include <string>
#include <sys/types.h>

// The single-instance lock's name (a file of that name in the runtime folder).
constexpr const char* kInstanceLockName = "{D2DEFF42-C083-4fab-A7AD-D0B7465B8128}";
// The automation server's name (the socket file) and its topic.
constexpr const char* kAutomationProgramId = "Lumora";
constexpr const char* kAutomationTopic = "Lumora";

struct RuntimeFolder {
    std::string path;   // empty when refused
    std::string error;  // why (English), when path is empty
};

// "$XDG_RUNTIME_DIR/lumora" (made 0700) when XDG_RUNTIME_DIR is set and not
// empty; otherwise "$TMPDIR/lumora-<uid>" ("/tmp" without TMPDIR), made
// 0700. An existing folder is used only when it is a folder (not a link)
// owned by uid that no one else may enter. Null arguments stand for unset
// variables.
RuntimeFolder ResolveRuntimeFolder(const char* xdgRuntimeDir, const char* tmpDir, uid_t uid);
// From this process's environment and user.
RuntimeFolder ResolveRuntimeFolder();

// "<folder>/Lumora"; empty when the folder is empty or the path does not fit
// a Unix socket address.
std::string AutomationSocketPath(const std::string& runtimeFolder);
