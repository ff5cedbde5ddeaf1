#include "ImageInfoPresenter.h"

#include "Image.h"
#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"

namespace {
constexpr int kAllSounds = 62005;
} // namespace

ImageInfoPresenter::State ImageInfoPresenter::Update(NimbalCore::Image& image) {
    State state;
    if (const std::vector<NimbalCore::FilePathSpec>* sounds = image.GetSounds())
        for (const NimbalCore::FilePathSpec& sound : *sounds) state.sounds.push_back(sound.GetFileName());
    if (state.sounds.size() == 1) {
        state.soundSelection = 0;
        state.soundsEnabled = true;
    } else if (state.sounds.size() > 1) {
        state.sounds.push_back(LoadTranslatedString(kAllSounds));
        state.soundSelection = int(state.sounds.size()) - 1;
        state.soundsEnabled = true;
    }
    state.playState = state.sounds.empty() ? kButtonIndeterminate : kButtonEnabled;
    state.stopState = kButtonIndeterminate;
    state.cameraLines = CameraLines(image.GetImageInfoText());
    state.annotation = image.GetAnnotation();
    state.annotationEnabled = image.GetMaxAnnotationLength() > 0;
    return state;
}

std::vector<std::string> ImageInfoPresenter::CameraLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool ImageInfoPresenter::ShouldCommit(std::string& editText, const std::string& frameAnnotation) {
    if (editText.size() > kAnnotationLimit) editText.resize(kAnnotationLimit);
    return editText != frameAnnotation;
}

void ImageInfoPresenter::ReadStoredSize(int& width, int& height) {
    ProfileItemManager items;
    items.GetInt(PI_IMAGE_INFO_HEIGHT, height);
    items.GetInt(PI_IMAGE_INFO_WIDTH, width);
    width = LimitWidth(width);
    height = LimitHeight(height);
}

void ImageInfoPresenter::StoreSize(int width, int height) {
    ProfileItemManager items;
    int storedWidth = 0, storedHeight = 0;
    items.GetInt(PI_IMAGE_INFO_HEIGHT, storedHeight);
    items.GetInt(PI_IMAGE_INFO_WIDTH, storedWidth);
    if (LimitHeight(height) != storedHeight) items.SetInt(PI_IMAGE_INFO_HEIGHT, LimitHeight(height));
    if (LimitWidth(width) != storedWidth) items.SetInt(PI_IMAGE_INFO_WIDTH, LimitWidth(width));
}
