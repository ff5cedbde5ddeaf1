#include "BalanceUIState.h"

namespace {

using NimbalCore::ImageProcessParam;

constexpr int kBalanceDisabled = 7;

bool AnyNonZero(const uint16_t (&triple)[3]) { return triple[0] || triple[1] || triple[2]; }

// The shared rule: type 7 disables, the item's own type checks and enables,
// anything else enables when the item has something to apply.
void StateOf(const ImageProcessParam* params, bool& enable, bool& check, bool (*ownType)(int),
             bool (*available)(const ImageProcessParam&)) {
    enable = false;
    check = false;
    if (!params) return;
    const int type = params->balanceType;
    if (type == kBalanceDisabled) return;
    if (ownType(type)) {
        enable = true;
        check = true;
        return;
    }
    enable = available(*params);
}

} // namespace

void GetPresetBalanceUIState(const ImageProcessParam* params, bool& enable, bool& check) {
    StateOf(params, enable, check, [](int t) { return t >= 0 && t <= 3; }, [](const ImageProcessParam&) {
        return true;
    });
}

void GetCustomBalanceUIState(const ImageProcessParam* params, bool& enable, bool& check) {
    StateOf(params, enable, check, [](int t) { return t == 4; },
            [](const ImageProcessParam& p) { return AnyNonZero(p.customBalance); });
}

void GetAutoBalanceUIState(const ImageProcessParam* params, bool& enable, bool& check) {
    StateOf(params, enable, check, [](int t) { return t == 5; },
            [](const ImageProcessParam& p) { return AnyNonZero(p.autoBalance); });
}

void GetClickBalanceUIState(const ImageProcessParam* params, bool& enable, bool& check) {
    StateOf(params, enable, check, [](int t) { return t == 6; },
            [](const ImageProcessParam& p) { return AnyNonZero(p.clickBalance); });
}
