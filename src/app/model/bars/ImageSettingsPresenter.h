#pragma once
// What the Image Controls bar shows for the focused image: the exposure and
// white-point sliders with their texts, the balance, lighting and look
// lists with their enabled items, the noise-reduction rows, the sharpening,
// colour-balance, tone and lens texts, and the crop choice. The bar keeps
// no image between updates; every state is computed from the image and the
// parameters given.
#include "ImageProcessParam.h"

#include <optional>
#include <string>
#include <vector>

namespace NimbalCore {
class Image;
}

class ImageSettingsPresenter {
public:
    // The crop aspect items (the last one "Other...") and its index.
    static constexpr int kOtherCropItem = 8;

    struct ListItem {
        std::string text;
        bool enabled = true;
    };
    struct ListState {
        std::vector<ListItem> items;
        int selection = 0;
        bool enabled = false;
        std::string tooltip; // the look list's
    };
    struct SliderState {
        bool enabled = false;
        int position = 0;
        // Set when the range changes (else the slider keeps its own).
        std::optional<int> minimum, maximum;
        // Exposure: ticks every so many positions; white point: none (0).
        int tickFrequency = 0;
        // A position to pass through first, so that the slider repaints
        // when a new range leaves it at the same position.
        std::optional<int> nudge;
        std::string valueText;
        // Set when the range labels change.
        std::optional<std::string> minimumText, maximumText;
    };
    struct NoiseState {
        std::string typeName;
        std::string rowALabel, rowAValue, rowBLabel, rowBValue;
        bool rowAShown = false, rowBShown = false;
    };
    struct Texts {
        std::string sharpenAmount, sharpenRadius, sharpenThreshold;
        std::string red, green, blue;
        std::string shadow, midtone, highlight;
        std::string lens;
    };
    // The balance items' enabled and checked states, as the main frame's
    // state functions answer them (Preset, Click, Custom, Auto).
    struct BalanceItemState {
        bool enabled = false, checked = false;
    };

    // The white-point slider as it stands before the update.
    struct WhitePointSlider {
        int minimum = 20, maximum = 75, position = 20;
    };

    struct State {
        SliderState exposure, whitePoint;
        ListState balance, lighting, look;
        NoiseState noise;
        Texts texts;
    };

    // balanceItems: null when the program has no main window (the balance
    // list then stays empty).
    static State Update(NimbalCore::Image& image, const NimbalCore::ImageProcessParam& params,
                        const WhitePointSlider& slider, const BalanceItemState (*balanceItems)[4]);
    // The balance items' states for the parameters.
    static void BalanceItems(const NimbalCore::ImageProcessParam& params, BalanceItemState (&items)[4]);

    // Texts of a slider being dragged.
    static std::string ExposurePositionText(int position);
    static std::string WhitePointPositionText(int position);
    static std::string NoiseTypeName(int type);

    // The nine crop items, translated.
    static std::vector<std::string> CropItems();
    // The item the crop list shows for the effective crop mode.
    static int CropSelection(int effectiveCropMode);

    // The commands the lists send for item i; 0 for none.
    static int BalanceCommand(int item);
    static int LightingCommand(int item);
    static int LookCommand(int item);

    // One decimal in the user's format, the sign and " EV" kept.
    static std::string LocalizeNumberText(const std::string& text);
};
