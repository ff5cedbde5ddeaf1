#pragma once
// Keeps the image pool from closing an image while a kind works with its
// file: clears the closable flag and gives back the old value at the end.
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
    bool saved_;
};

} // namespace NimbalCore
