#pragma once
// A transform of the library: the profiles it runs through, in order, each
// with its rendering intent, and the LittleCMS transform built from them once.
// A profile used where the data are in a connection space is used towards its
// device; anywhere else from its device (device links as they are), so an
// input look profile between two spaces works in the middle of a chain.
// Built once and never changed: threads evaluate one transform at once.
#include "IccProfile.h"
#include "ORVEXCMS.h"

#include <lcms2.h>

#include <memory>
#include <vector>

namespace orvexcms {

class SpTransform {
public:
    struct Stage {
        std::shared_ptr<const IccProfile> profile;
        cmsUInt32Number intent;
        int32_t kind;
    };

    ~SpTransform();
    SpTransform(const SpTransform&) = delete;
    SpTransform& operator=(const SpTransform&) = delete;

    // The transform of one profile; renderMode 0..3 is the intent, 4 the
    // profile's own.
    static SpStatus fromProfile(std::shared_ptr<const IccProfile> profile, int32_t renderMode,
                                int32_t kind, std::shared_ptr<SpTransform>& out);
    // The transforms one after another; failedIndex names the first that
    // cannot be joined to those before it.
    static SpStatus combine(const std::vector<std::shared_ptr<SpTransform>>& parts,
                            std::shared_ptr<SpTransform>& out, int32_t& failedIndex);

    int32_t inputChannels() const { return inChannels_; }
    int32_t outputChannels() const { return outChannels_; }
    uint32_t inputSpace() const { return inSpace_; }
    uint32_t outputSpace() const { return outSpace_; }

    SpStatus evaluate(const SpPixelLayout& source, const SpPixelLayout& destination) const;

private:
    explicit SpTransform(std::vector<Stage> stages) : stages_(std::move(stages)) {}
    SpStatus build();

    std::vector<Stage> stages_;
    uint32_t inSpace_ = 0;
    uint32_t outSpace_ = 0;
    int32_t inChannels_ = 0;
    int32_t outChannels_ = 0;
    cmsHTRANSFORM float_ = nullptr;
};

} // namespace orvexcms
