#pragma once
// The crop state the main frame keeps for every view: the chosen crop mode,
// the custom ratio, the aspect of the rectangle being edited, and the
// geometry of a crop handle being dragged. The keys held at the moment
// (Shift keeps the current aspect, Ctrl toggles free and constrained
// cropping) come through KeyState.
#include "IntPoint.h"
#include "IntRect.h"

#include <string>

class CropGeometry {
public:
    // The stored modes (commands 33110 + mode) and the effective-only mode.
    enum Mode : int {
        kFreeform = 0, kSquare = 1, k2x3Landscape = 2, k3x2Portrait = 3, k4x5Landscape = 4,
        k5x4Portrait = 5, k5x7Landscape = 6, k7x5Portrait = 7, kCustom = 8,
        kKeepCurrent = 9,  // effective only: the edited rectangle's aspect
    };
    static constexpr int kFirstCropCommand = 33110;  // Freeform; 33118 is Other
    // Handles of ComputeCropRect.
    enum Handle : int {
        kLeftEdge = 0, kRightEdge = 1, kTopEdge = 2, kBottomEdge = 3,
        kCorner0 = 4, kCorner1 = 5, kCorner2 = 6, kCorner3 = 7, kMove = 8, kNewRect = 9,
    };
    // The custom ratio's parts are kept in the settings times this.
    static constexpr double kStoredRatioScale = 10000.0;

    // The stored mode corrected by the keys: Shift on Freeform gives 9,
    // Shift otherwise the stored mode; Ctrl alone gives 0 for a constrained
    // mode and 8 for Freeform.
    static int EffectiveCropMode(int storedMode, bool shiftDown, bool ctrlDown);
    // The same with the keys held now (KeyState::Current()).
    int GetEffectiveCropMode() const;

    int GetCropMode() const { return mode_; }
    // Values outside 0..8 store 0. The caller refreshes the Image Controls
    // bar's crop choice.
    void SetCropMode(int mode);

    // The effective mode's aspect (height part, width part); Freeform 1 : 1.
    // Mode 9 without an edited size leaves both unchanged.
    void GetCropAspect(float& heightPart, float& widthPart) const;
    // The aspect of a given effective mode (what GetCropAspect answers).
    void GetCropAspectOf(int effectiveMode, float& heightPart, float& widthPart) const;
    // Stores the edited rectangle's size when both are positive.
    void SetCurrentCropAspect(float height, float width);
    float GetEditedHeight() const { return editHeight_; }
    float GetEditedWidth() const { return editWidth_; }

    float GetCustomHeightPart() const { return customHeight_; }
    float GetCustomWidthPart() const { return customWidth_; }
    void SetCustomRatio(float heightPart, float widthPart);

    // Turns the mouse position of a handle drag into the crop rectangle.
    // bounds: the image (inclusive right and bottom, the mouse is clamped to
    // them); anchor: the fixed corner of a corner or new-rectangle drag;
    // grab: the mouse's offset from the top-left corner for a move. handle,
    // crop and mouse are updated (an edge dragged past the opposite edge
    // becomes that edge; mouse becomes the constrained point). Mode 9
    // without an edited size, or a ratio with a zero part, is Freeform.
    void ComputeCropRect(const IntRect& bounds, IntPoint anchor, IntPoint grab, int& handle, IntRect& crop,
                         IntPoint& mouse) const;
    // As above for a given effective mode (no key state read).
    void ComputeCropRectForMode(int effectiveMode, const IntRect& bounds, IntPoint anchor, IntPoint grab,
                                int& handle, IntRect& crop, IntPoint& mouse) const;

    // The translated string stringId (59152 for menus, 59153 for the combo
    // box) with the custom width and height parts (in that order, as the
    // crop-ratio dialog asks for them) in the user's number format, two
    // decimals.
    std::string GetCustomCropLabel(int stringId) const;
    // One ratio part as the label shows it ("%1.5f", then the user's decimal
    // separator and grouping with two fraction digits).
    static std::string FormatRatioPart(float part);

    // Stored settings value of a ratio part (x 10000, rounded) and back.
    static int RatioToStored(float part);
    static float RatioFromStored(int stored);

    // Items 28, 29 and 30: read at the main frame's creation, written at
    // its close.
    void LoadSettings();
    void SaveSettings() const;

private:
    int mode_ = kFreeform;
    float customHeight_ = 0.0f;
    float customWidth_ = 0.0f;
    float editHeight_ = 0.0f;
    float editWidth_ = 0.0f;
};
