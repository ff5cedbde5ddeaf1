#pragma once
// What the desktop knows about programs: the application that opens a kind
// of file. The program asks the desktop; tests answer for it.
#include <string>

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // The executable of the default application for a MIME type (a path or
    // a bare program name); empty when there is none.
    virtual std::string DefaultApplicationFor(const std::string& mimeType) = 0;

    // The process-wide launcher; knows no application until one is set.
    static ProgramLauncher& Current();
    static void SetCurrent(ProgramLauncher* launcher);
};
