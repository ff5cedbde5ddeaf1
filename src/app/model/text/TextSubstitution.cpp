#include "TextSubstitution.h"

#include "LocalizedText.h"

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

std::string SubstituteNumbers(const std::string& text, const std::vector<int>& numbers) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            if (text[i + 1] == 'd') {
                if (next < numbers.size()) out += std::to_string(numbers[next]);
                ++next;
                ++i;
                continue;
            }
            if (text[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string TranslatedText(int id, const std::vector<std::string>& args) {
    return SubstituteStrings(LoadTranslatedString(id), args);
}
