#pragma once
// Keyboard moves in a list whose items may be disabled: a disabled item is
// never reached by a key.
#include <functional>

enum class ComboKey { PageUp, Home, PageDown, End, Up, Left, Down, Right };

// The item a navigation key selects from the current selection (-1: none),
// or -1 when the selection stays.
int NavigateEnabledItem(ComboKey key, int current, int count, const std::function<bool(int)>& isEnabled);

// The answer to a typed character: the list's own search result stands when
// it is negative or names an enabled item; a disabled item gives -2 (no
// change).
int CharToEnabledItem(int searchResult, const std::function<bool(int)>& isEnabled);
