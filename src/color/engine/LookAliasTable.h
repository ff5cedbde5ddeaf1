#pragma once
// Lets the descriptions of three naming generations of one look find each
// other: a newer description maps to the older one.
#include <map>
#include <string>

namespace NimbalCore {

class LookAliasTable {
public:
    // With the working space's pair when withWorkingSpace is set.
    void Fill(bool withWorkingSpace);
    // Whether a maps exactly to b (both as given).
    bool Maps(const std::string& a, const std::string& b) const;
    size_t Size() const { return aliases_.size(); }

private:
    std::map<std::string, std::string> aliases_;
};

} // namespace NimbalCore
