#include "ComboNavigation.h"

int NavigateEnabledItem(ComboKey key, int current, int count, const std::function<bool(int)>& isEnabled) {
    switch (key) {
    case ComboKey::PageUp:
    case ComboKey::Home:
        for (int i = 0; i < count; ++i)
            if (isEnabled(i)) return i;
        return -1;
    case ComboKey::PageDown:
    case ComboKey::End:
        for (int i = count - 1; i >= 0; --i)
            if (isEnabled(i)) return i;
        return -1;
    case ComboKey::Up:
    case ComboKey::Left:
        if (current <= 0) return -1;
        for (int i = (current < count ? current : count) - 1; i >= 0; --i)
            if (isEnabled(i)) return i;
        return -1;
    case ComboKey::Down:
    case ComboKey::Right:
        if (current < 0) return -1;
        for (int i = current + 1; i < count; ++i)
            if (isEnabled(i)) return i;
        return -1;
    }
    return -1;
}

int CharToEnabledItem(int searchResult, const std::function<bool(int)>& isEnabled) {
    if (searchResult < 0 || isEnabled(searchResult)) return searchResult;
    return -2;
}
