#pragma once
// Keeps the image pool from closing an image while a kind works with its
// file: clears the closable flag and gives back the old value at the end.
// Guards that overlap (on several threads too) give it back when the last
// one ends.
namespace NimbalCore {

class Image;

class StImageClosableFlagRestorer {
public:
    explicit StImageClosableFlagRestorer(Image* image);
    ~StImageClosableFlagRestorer();
    StImageClosableFlagRestorer(const StImageClosableFlagRestorer&) = delete;
    StImageClosableFlagRestorer& operator=(const StImageClosableFlagRestorer&) = delete;

private:
    Image* image_;
};

} // namespace NimbalCore
