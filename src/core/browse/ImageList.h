#pragma once
// A contact sheet's renderings, one per image shown: by file name, by index
// in name order or in capture-time order, and counted. The sheet's watcher
// thread changes the list while the UI thread walks it, so every operation
// holds the list's lock. The list keeps its own copies of the renderings;
// the pointers it hands out stay valid until that entry is removed.
#include "ImageListKey.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "YlmMutex.h"

#include <cstdint>
#include <map>
#include <string>

namespace NimbalCore {

class ImageList {
public:
    ImageList() = default;
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    virtual ~ImageList() = default;

    virtual int Count();
    // The image's file name lower-cased: its key in name order.
    virtual std::string MakeName(const ImageRef& image);
    // 1100 when the name or the key is listed already; then nothing is added.
    virtual void AddImage(ImageRendering* rendering);
    // By capture time and the old name, for a rename. 1200 when not listed.
    virtual void RemoveImage(int value, std::string name);
    // 1200 when the rendering's image is not listed.
    virtual void RemoveImage(ImageRendering* rendering);
    // 1200 when not listed.
    virtual ImageRendering* GetImage(std::string name);
    // The count of names when absent.
    virtual int IndexOfName(const std::string& name);
    // Position in the current order; the count when absent, 0 in a mode that
    // is no order.
    virtual int IndexOf(ImageRendering* rendering);
    virtual bool ContainsName(const std::string& name);
    virtual int GetSortMode();
    // 0 name order, 1 capture-time order; any other value is kept and leaves
    // the list without an order.
    virtual void SetSortMode(int mode);
    // 1200 outside the list; null in a mode that is no order.
    virtual ImageRendering* operator[](int index);

private:
    struct KeyLess {
        bool operator()(const ImageListKey& a, const ImageListKey& b) const { return a.Less(b); }
    };
    using ByName = std::map<std::string, ImageRendering>;
    using ByKey = std::map<ImageListKey, ImageRendering, KeyLess>;

    // Where the last lookup by index of one order ended; a lookup of the
    // next index moves on from there instead of walking from the start.
    template <class Map>
    struct Remembered {
        typename Map::iterator position;
        int index = 0;
        bool valid = false;
    };

    template <class Map>
    static ImageRendering* At(Map& map, Remembered<Map>& remembered, int index);
    void ResetPositions();

    ByName byName_;
    ByKey byKey_;
    int sortMode_ = 0;
    Remembered<ByName> nameRemembered_;
    Remembered<ByKey> keyRemembered_;
    YlmMutex lock_;
};

} // namespace NimbalCore
