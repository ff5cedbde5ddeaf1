#include "CommandLine.h"

#include <filesystem>

std::string AbsolutePathAgainst(const std::string& path, const std::string& folder) {
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(folder) / p;
    std::string out = p.lexically_normal().string();
    // A folder given as "dir/" is the same folder as "dir".
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty()) continue;
        if (arg == "--automation") {
            line.automation = true;
        } else if (arg == "--embedding") {
            line.embedding = true;
        } else if (arg == "--register" || arg == "--unregister") {
            // Nothing to register: the automation socket is made at start-up.
        } else if (arg == "--print") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                line.error = "--print needs the file to print.";
                return line;
            }
            line.prints.push_back({AbsolutePathAgainst(args[++i], workingFolder), ""});
        } else if (arg == "--print-to") {
            if (i + 2 >= args.size() || args[i + 1].empty() || args[i + 2].empty()) {
                line.error = "--print-to needs the file to print and the printer.";
                return line;
            }
            line.prints.push_back({AbsolutePathAgainst(args[i + 1], workingFolder), args[i + 2]});
            i += 2;
        } else {
            line.paths.push_back(AbsolutePathAgainst(arg, workingFolder));
        }
    }
    return line;
}
