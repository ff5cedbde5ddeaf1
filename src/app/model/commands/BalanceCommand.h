#pragma once
// The Balance submenu: Preset, Custom, Auto and Click balance for the
// images of the document, and the kelvin values the balance types allow.
#include "ImageCommandDocument.h"

#include <cstdint>

namespace NimbalCore {
class Image;
}

class BalanceCommand {
public:
    // id: 32812 Preset, 32814 Custom, 32815 Auto or 32816 Click.
    static void Run(ImageCommandDocument& document, int id);

    // The image's standard white point of the balance type.
    static uint16_t StandardWhitePoint(NimbalCore::Image& image, int balanceType);
    // The white point kept inside the range the balance type allows.
    static uint16_t ClampWhitePoint(NimbalCore::Image& image, int balanceType, uint16_t whitePoint);
};
