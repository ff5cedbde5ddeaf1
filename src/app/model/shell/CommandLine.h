#pragma once
// The program's command line: what start-up and a second instance do with
// each argument.
#include <string>
#include <vector>

struct PrintRequest {
    std::string path;
    std::string printer;  // empty: the default printer (--print)
    bool operator==(const PrintRequest&) const = default;
};

struct CommandLine {
    bool automation = false;  // --automation
    bool embedding = false;   // --embedding
    // Every other argument, made absolute against the working folder of
    // this process (a second instance forwards them to another process).
    std::vector<std::string> paths;
    std::vector<PrintRequest> prints;  // --print PATH, --print-to PATH PRINTER
    std::string error;                 // non-empty: the line is refused (English)

    bool StartsHidden() const { return automation || embedding; }
};

// args excludes the program name. --register and --unregister are accepted
// and ignored. An empty argument is skipped.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder);
// path made absolute against folder and lexically normalised ("a/../b").
std::string AbsolutePathAgainst(const std::string& path, const std::string& folder);
