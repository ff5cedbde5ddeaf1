#pragma once
// A click balance measured on one image, given to every image of the
// document: the measured triple, the light the balance refers to and the
// name of the point.
#include "ImageCommandDocument.h"

#include <cstdint>
#include <string>

class ClickBalanceCommand {
public:
    static void Run(ImageCommandDocument& document, const uint16_t triple[3], const std::string& balanceName);
};
