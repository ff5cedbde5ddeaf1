#pragma once
// One combined transform the colour engine keeps: the chain it was built
// for, the caller's flags that keep otherwise equal requests apart, and the
// transform.
#include "ColorTransform.h"
#include "ProfileChainEntry.h"
#include "YlmRefPtr.h"

#include <vector>

namespace NimbalCore {

struct TransformCacheEntry {
    std::vector<ProfileChainEntry> chain;
    int flags = 0;
    YlmRefPtr<ColorTransform> transform;

    // Same length, and entry by entry the same description (byte for byte),
    // kind and profile object.
    bool Matches(const std::vector<ProfileChainEntry>& other, int otherFlags) const {
        if (flags != otherFlags || chain.size() != other.size()) return false;
        for (size_t i = 0; i < chain.size(); ++i)
            if (chain[i].description != other[i].description || chain[i].kind != other[i].kind ||
                chain[i].profile.Get() != other[i].profile.Get())
                return false;
        return true;
    }
};

} // namespace NimbalCore
