// Extensions 27 (the number of the file's looks) and 31 (the measured
// balance's ratios) of a raw image, through the exported calls.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Tweak = std::function<void(ZyrWriter&, const ZyrSample::Ifds&)>;
using Triple = std::vector<std::pair<uint32_t, uint32_t>>;

std::vector<uint8_t> RawFile(bool colour, const Tweak& tweak) {
    ZyrSampleOptions o;
    o.version = 0x01000000;
    o.colour = colour;
    ZyrWriter w(o.order);
    const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
    if (tweak) tweak(w, d);
    return w.Build();
}

// Look n gets a curve, and a matrix when withMatrix is set.
Tweak Looks(std::vector<std::pair<int, bool>> looks) {
    return [looks](ZyrWriter& w, const ZyrSample::Ifds& d) {
        for (auto [look, withMatrix] : looks) {
            w.Shorts(d.privateIfd, uint16_t(3610 + look), {0, 1000, 4095});
            if (withMatrix)
                w.Rationals(d.privateIfd, uint16_t(3670 + look),
                            {{1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}});
        }
    };
}

Tweak MeasuredBalance(Triple triple) {
    return [triple](ZyrWriter& w, const ZyrSample::Ifds& d) {
        w.Remove(d.privateIfd, 2125);
        if (!triple.empty()) w.Rationals(d.privateIfd, 2125, triple);
    };
}

class Extensions : public ::testing::Test {
protected:
    ImageInfoRecord Open(bool colour, const Tweak& tweak) {
        const std::string path = WriteFile(dir_, "raw" + std::to_string(++files_) + ".tif", RawFile(colour, tweak));
        ImageInfoRecord info = EmptyRecord();
        EXPECT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
        return info;
    }

    VqSession session_;
    lumora::test::TempFolder dir_;
    int files_ = 0;
};

} // namespace

TEST_F(Extensions, LookCountIsTheNumberOfCompleteLooksOfTheFile) {
    struct Case {
        const char* what;
        bool colour;
        Tweak looks;
        int32_t count;
    };
    const Case cases[] = {
        {"no looks", true, {}, 0},
        {"two complete looks", true, Looks({{0, true}, {1, true}}), 2},
        {"a colour look without its matrix does not count", true, Looks({{0, true}, {2, false}}), 1},
        {"a grey file needs no matrices", false, Looks({{0, false}, {2, false}, {5, true}}), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageInfoRecord info = Open(c.colour, c.looks);
        int32_t count = -1;
        EXPECT_EQ(VqGetExtension(&info, VQ_EXT_LOOK_COUNT, &count), 0u);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}

TEST_F(Extensions, BalanceRatiosAreTheMeasuredTripleOrUnknown) {
    struct Case {
        const char* what;
        Triple triple;
        uint32_t status;
        uint16_t r, g, b;
    };
    const Case cases[] = {
        {"the sample file's triple", {{2100, 10}, {1000, 10}, {1600, 10}}, 0, 210, 100, 160},
        {"quotients kept as 16 bits", {{70000, 1}, {3, 2}, {65535, 1}}, 0, uint16_t(70000), 1, 65535},
        {"no measured balance in the file", {}, VQ_ERR_UNKNOWN_EXTENSION, 0, 0, 0},
        {"a ratio of 0", {{2100, 10}, {1000, 10}, {9, 10}}, VQ_ERR_UNKNOWN_EXTENSION, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageInfoRecord info = Open(true, MeasuredBalance(c.triple));
        uint16_t ratios[3] = {0, 0, 0};
        EXPECT_EQ(VqGetExtension(&info, VQ_EXT_BALANCE_RATIOS, ratios), c.status);
        if (c.status == 0) {
            EXPECT_EQ(ratios[0], c.r);
            EXPECT_EQ(ratios[1], c.g);
            EXPECT_EQ(ratios[2], c.b);
        }
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}
