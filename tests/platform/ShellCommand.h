#pragma once
// Outside programs for the tests that compare against them: whether one is
// installed, and what a shell command writes to its standard output.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumora::test {

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// `status`, where given, gets the command's wait status.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = pclose(p);
    if (status) *status = rc;
    return out;
}

} // namespace lumora::test
