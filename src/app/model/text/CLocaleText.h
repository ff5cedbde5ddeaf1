#pragma once
// printf and scanf in the C locale, whatever locale the process or the user
// has: what the program stores and compares must not change with a decimal
// comma.
#include <string>

std::string FormatCLocale(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The number of items converted, as sscanf answers (-1 at the end of input).
int ScanCLocale(const std::string& text, const char* format, ...) __attribute__((format(scanf, 2, 3)));
