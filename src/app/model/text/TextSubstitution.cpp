#include "TextSubstitution.h"

std::string SubstituteStrings(const std::string& text, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
