#include "EditFilters.h"

bool NumericEditAccepts(char32_t typed, const std::string& currentText) {
    if (typed < 32) return true;
    if (typed >= U'0' && typed <= U'9') return true;
    if (typed == U'-') return currentText.find('-') == std::string::npos;
    return false;
}

bool HostFolderEditAccepts(char32_t typed) {
    switch (typed) {
    case U'"': case U'/': case U':': case U'<': case U'>': case U'?': case U'\\': case U'|': return false;
    default: return true;
    }
}
