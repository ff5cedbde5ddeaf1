#pragma once
// How the application's texts reach the user: every resource text and every
// window text passes through the user-interface language table (keyed by the
// whole English text); decimal numbers follow the user's separator. The
// window and menu functions are in the user interface (TranslateWindow.h).
#include <string>

// The resource text translated, or the resource text when the table has no
// translation of it.
std::string LoadTranslatedString(int id);
// The resource text as it stands: names that are compared or stored.
std::string LoadUntranslatedString(int id);
std::string TranslateString(const std::string& text);

// The user's decimal separator (LC_NUMERIC of the user's environment, read
// whole); "." when it cannot be found. The process's own formatting stays in
// the C locale.
std::string UserDecimalSeparator();
// A number written in the C locale ("1234.56789") as the user's locale
// shows numbers: rounded (half away from zero) to fractionDigits, the
// integer digits grouped with the user's thousands separator, the user's
// decimal separator. Text that is not such a number comes back unchanged.
std::string ToUserNumberFormat(const std::string& cNumber, int fractionDigits);
// Every "." replaced by the user's separator.
std::string ToLocaleDecimalPoint(const std::string& text);
// Every user's separator replaced by ".".
std::string FromLocaleDecimalPoint(const std::string& text);
