#pragma once
// What the Image Info bar shows for the focused image: its sounds (with
// "All sounds" when there are several) and the Play and Stop states, the
// camera-settings lines, the annotation and whether it can be edited; when
// an edited annotation is to be committed; and the bar's floating size,
// which never goes below its minimum and is kept in settings 45 and 46.
#include <string>
#include <vector>

namespace NimbalCore {
class Image;
}

class ImageInfoPresenter {
public:
    static constexpr int kMinimumWidth = 225;
    static constexpr int kMinimumHeight = 325;
    // The longest annotation the edit hands on.
    static constexpr size_t kAnnotationLimit = 512;
    // Toolbar button states.
    static constexpr int kButtonEnabled = 4;
    static constexpr int kButtonIndeterminate = 16;

    struct State {
        std::vector<std::string> sounds;
        int soundSelection = -1;
        bool soundsEnabled = false;
        int playState = kButtonIndeterminate;
        int stopState = kButtonIndeterminate;
        std::vector<std::string> cameraLines;
        std::string annotation;
        bool annotationEnabled = false;
    };

    static State Update(NimbalCore::Image& image);
    // The newline-terminated lines of the text, without their newlines.
    static std::vector<std::string> CameraLines(const std::string& text);
    // The edit's text as committed: cut to the limit. True when it differs
    // from the main frame's annotation (one undo step is then made).
    static bool ShouldCommit(std::string& editText, const std::string& frameAnnotation);

    // A floating size the user dragged to, kept to the minimum.
    static int LimitWidth(int width) { return width < kMinimumWidth ? kMinimumWidth : width; }
    static int LimitHeight(int height) { return height < kMinimumHeight ? kMinimumHeight : height; }
    // The stored floating size (settings 45 height, 46 width), limited.
    static void ReadStoredSize(int& width, int& height);
    // Writes what changed.
    static void StoreSize(int width, int height);
};
