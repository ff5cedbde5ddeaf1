#include "ImageList.h"

#include "Image.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <iterator>

namespace NimbalCore {

int ImageList::Count() {
    StCriticalSectionLock hold(lock_);
    return int(sortMode_ == 0 ? byName_.size() : byKey_.size());
}

std::string ImageList::MakeName(const ImageRef& image) {
    return ImageListKey::Lowered(image->GetFileName());
}

void ImageList::AddImage(ImageRendering* rendering) {
    StCriticalSectionLock hold(lock_);
    ImageListKey key(rendering);
    const std::string name = MakeName(*rendering->GetImage());
    // Both checks come first, so that a refusal leaves the two orders
    // holding the same entries.
    if (byName_.count(name) || byKey_.count(key)) YLM_THROW("ImageList::AddImage", NbErrAddImageFailed);
    byName_.emplace(name, *rendering);
    byKey_.emplace(key, *rendering);
    ResetPositions();
}

void ImageList::RemoveImage(int value, std::string name) {
    StCriticalSectionLock hold(lock_);
    name = ImageListKey::Lowered(name);
    const auto byName = byName_.find(name);
    const auto byKey = byKey_.find(ImageListKey(value, name));
    if (byName == byName_.end() || byKey == byKey_.end())
        YLM_THROW("ImageList::RemoveImage(2)", NbErrImageNotListed);
    byName_.erase(byName);
    byKey_.erase(byKey);
    ResetPositions();
}

void ImageList::RemoveImage(ImageRendering* rendering) {
    StCriticalSectionLock hold(lock_);
    const auto byName = byName_.find(MakeName(*rendering->GetImage()));
    const auto byKey = byKey_.find(ImageListKey(rendering));
    if (byName == byName_.end() || byKey == byKey_.end())
        YLM_THROW("ImageList::RemoveImage", NbErrImageNotListed);
    byName_.erase(byName);
    byKey_.erase(byKey);
    ResetPositions();
}

ImageRendering* ImageList::GetImage(std::string name) {
    StCriticalSectionLock hold(lock_);
    const auto found = byName_.find(ImageListKey::Lowered(std::move(name)));
    if (found == byName_.end()) YLM_THROW("ImageList::GetImage", NbErrImageNotListed);
    return &found->second;
}

int ImageList::IndexOfName(const std::string& name) {
    StCriticalSectionLock hold(lock_);
    return int(std::distance(byName_.begin(), byName_.find(ImageListKey::Lowered(name))));
}

int ImageList::IndexOf(ImageRendering* rendering) {
    StCriticalSectionLock hold(lock_);
    if (sortMode_ == 0) return int(std::distance(byName_.begin(), byName_.find(MakeName(*rendering->GetImage()))));
    if (sortMode_ == 1) return int(std::distance(byKey_.begin(), byKey_.find(ImageListKey(rendering))));
    return 0;
}

bool ImageList::ContainsName(const std::string& name) {
    StCriticalSectionLock hold(lock_);
    return byName_.count(ImageListKey::Lowered(name)) != 0;
}

int ImageList::GetSortMode() {
    StCriticalSectionLock hold(lock_);
    return sortMode_;
}

void ImageList::SetSortMode(int mode) {
    StCriticalSectionLock hold(lock_);
    sortMode_ = mode;
}

ImageRendering* ImageList::operator[](int index) {
    StCriticalSectionLock hold(lock_);
    if (sortMode_ == 0) return At(byName_, nameRemembered_, index);
    if (sortMode_ == 1) return At(byKey_, keyRemembered_, index);
    return nullptr;
}

template <class Map>
ImageRendering* ImageList::At(Map& map, Remembered<Map>& remembered, int index) {
    typename Map::iterator it;
    if (remembered.valid && index == remembered.index + 1 && remembered.position != map.end()) {
        it = std::next(remembered.position);
    } else {
        it = map.begin();
        for (int step = 0; step < index && it != map.end(); ++step) ++it;
    }
    if (index < 0 || it == map.end()) YLM_THROW("ImageList::operator[]", NbErrImageNotListed);
    remembered.position = it;
    remembered.index = index;
    remembered.valid = true;
    return &it->second;
}

void ImageList::ResetPositions() {
    nameRemembered_ = {byName_.begin(), 0, true};
    keyRemembered_ = {byKey_.begin(), 0, true};
}

} // namespace NimbalCore
