#include "ToolBarButtons.h"

namespace {

using S = ToolBarButton::Style;
constexpr ToolBarButton kSeparator{0, 0, S::kSeparator};

} // namespace

const ToolBarTable& ToolsBarTable() {
    static const ToolBarTable table{146, 11, 16, 15, 0, 0,
                                    {{0, 32847, S::kCheckGroup},
                                     {1, 32848, S::kCheckGroup},
                                     {2, 32846, S::kCheckGroup},
                                     {3, 33178, S::kCheckGroup},
                                     {4, 33177, S::kCheckGroup},
                                     kSeparator,
                                     {5, 32855, S::kButton},
                                     {6, 32856, S::kButton},
                                     kSeparator,
                                     {7, 32838, S::kButton},
                                     {8, 32837, S::kButton}}};
    return table;
}

const ToolBarTable& SoundBarTable() {
    static const ToolBarTable table{164, 2, 28, 24, 0, 0, {{0, 1055, S::kButton}, {1, 1056, S::kButton}}};
    return table;
}

const ToolBarTable& AutoAtCaptureBarTable() {
    static const ToolBarTable table{254, 3, 40, 40, 32, 32, {{0, 32803, S::kButton}, kSeparator, {1, 32807, S::kButton}}};
    return table;
}

const ToolBarTable& AutoExposureBarTable() {
    static const ToolBarTable table{253, 1, 16, 15, 0, 0, {{0, 33131, S::kButton}}};
    return table;
}
