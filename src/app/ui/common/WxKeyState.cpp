#include "WxKeyState.h"

#include <wx/utils.h>

bool WxKeyState::IsDown(Key key) { return wxGetKeyState(key == kControl ? WXK_CONTROL : WXK_SHIFT); }
