#include "ProfileItem.h"

namespace {

using K = ProfileItemKind;

// The value names are stored names: they never change with the language.
constexpr ProfileItemInfo kItems[PI_ITEM_COUNT] = {
    {"JPEGImageQuality", K::Integer, 0},
    {"JPEGImageSize", K::Integer, 0},
    {"JPEG Open With", K::Integer, 0},
    {"JPEG Resolution", K::Integer, 0},
    {"JPEG Units", K::Integer, 0},
    {"LastFileOpenDialogPath", K::String, 0},
    {"LastFileSaveAsDialogPath", K::String, 0},
    {"Image quality option", K::Integer, 0},
    {"Last Thumbnail Sort Order", K::Integer, 0},
    {"LastThumbnailViewSize", K::Integer, 0},
    {"Review Render Mode", K::Integer, 0},
    {"Save As Basename", K::String, 0},
    {"Save As Num Digits", K::Integer, 0},
    {"Save As Start From", K::Integer, 0},
    {"Save As File Type", K::Integer, 0},
    {"Send Files To Path", K::String, 0},
    {"Thumbnail Info State", K::Integer, 0},
    {"TIFF 10-12 Bit", K::Integer, 0},
    {nullptr, K::None, 0},
    {"TIFF Open With", K::Integer, 0},
    {"TIFF Render GPS", K::Integer, 0},
    {"TIFF Resolution", K::Integer, 0},
    {"TIFF Units", K::Integer, 0},
    {"ToolBarFrameSide", K::Integer, 0},
    {"ToolBarIsFloating", K::Integer, 0},
    {"ToolBarPosition", K::Rectangle, 0},
    {"TIFF Output Mode", K::Integer, -1},
    {"the directory images are going to be sent", K::String, 0},
    {"Crop Mode", K::Integer, 0},
    {"Constrained Crop Height X 10000", K::Integer, 10000},
    {"Constrained Crop Width X 10000", K::Integer, 10000},
    {"RGB Working Space Output Mode", K::Integer, -1},
    {"RGB Working Space Name", K::String, 0},
    {"Embed RGB Working Space Profile in TIFF Files", K::Integer, 1},
    {"Embed RGB Working Space Profile in JPEG Files", K::Integer, 0},
    {"Contact Sheet Printing Size", K::Integer, 0},
    {"CloseupPosition", K::Rectangle, 0},
    {"Allow Docking", K::Integer, 1},
    {"Exposure and Tone Preview", K::Integer, 0},
    {"Color Balance Preview", K::Integer, 0},
    {"Sharpening Preview", K::Integer, 0},
    {"White Point Preview", K::Integer, 0},
    {"Exposure Compensation Preview", K::Integer, 0},
    {"Noise Reduction Preview", K::Integer, 0},
    {"Noise Reduction With Radius Preview", K::Integer, 0},
    {"Image Info Panel Height", K::Integer, 533},
    {"Image Info Panel Width", K::Integer, 225},
    {"Paste Special Preview", K::Integer, 0},
    {"Paste Special Crop", K::Integer, 0},
    {"Paste Special Rotate", K::Integer, 0},
    {"Paste Special Exposure Comp", K::Integer, 0},
    {"Paste Special Tone", K::Integer, 0},
    {"Paste Special Balance and Lighting", K::Integer, 0},
    {"Paste Special Lens Optimization", K::Integer, 0},
    {"Paste Special Look", K::Integer, 0},
    {"Paste Special Noise Reduction", K::Integer, 0},
    {"Paste Special Sharpening", K::Integer, 0},
    {"Paste Special IPTC", K::Integer, 0},
    {"Paste Special Tagging", K::Integer, 0},
    {"Language", K::String, 0},
    {"Lens Optimization Preview", K::Integer, 0},
    {"print width units", K::String, 0},
    {"print height units", K::String, 0},
    {"resize enable", K::Integer, 0},
    {"resize mode", K::Integer, 0},
    {"resize percent", K::Integer, 0},
    {"resize pixel width", K::Real, 0},
    {"resize pixel height", K::Real, 0},
    {"maintain proportions", K::Integer, 0},
};

constexpr ProfileItemInfo kNoItem = {nullptr, K::None, 0};

} // namespace

const ProfileItemInfo& ProfileItemInfoOf(int item) {
    if (item < 0 || item >= PI_ITEM_COUNT) return kNoItem;
    return kItems[item];
}
