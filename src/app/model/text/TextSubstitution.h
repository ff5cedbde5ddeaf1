#pragma once
// Fills the "%s" of a resource text (translated texts come from a file, so
// nothing but their own "%s" and "%%" is honoured; a missing argument is
// empty).
#include <string>
#include <vector>

std::string SubstituteStrings(const std::string& text, const std::vector<std::string>& args);
// Fills the "%d" of a resource text with the numbers in order (and "%%"
// with "%"); nothing else is honoured.
std::string SubstituteNumbers(const std::string& text, const std::vector<int>& numbers);
// The translated resource text of that id with its "%s" filled.
std::string TranslatedText(int id, const std::vector<std::string>& args = {});
