#pragma once
// What the desktop knows about programs: the application that opens a kind
// of file, and starting programs. The program asks the desktop; tests answer
// for it.
#include <string>
#include <vector>

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // The executable of the default application for a MIME type (a path or
    // a bare program name); empty when there is none.
    virtual std::string DefaultApplicationFor(const std::string& mimeType) = 0;
    // Starts the program with these arguments, each handed over as it
    // stands (no shell reads them); false when it cannot be started.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& arguments);
    // Opens the file with the application the desktop associates with it;
    // false when there is none or it cannot be started.
    virtual bool OpenWithAssociatedProgram(const std::string& path);

    // The process-wide launcher; knows no application and starts nothing
    // until one is set.
    static ProgramLauncher& Current();
    static void SetCurrent(ProgramLauncher* launcher);
};
