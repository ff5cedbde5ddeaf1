#pragma once
// The base of the exporters' fixtures: exports resample with the nearest-
// neighbour scaler, files are made under a known umask in a private folder,
// and one export's outcome is its error code and reporting operation.
#include "ExportImageArray.h"
#include "ExportTestSupport.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "NbErrorCodes.h"
#include "NearestScaler.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace exporttest {

// What one export did.
struct Outcome {
    int code = 0;          // YlmErrp code, or a bare status
    std::string operation; // the YlmErrp's reporting operation
};

class ScaledExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        NearestScalerLog::Reset();
        NimbalCore::SetExportScalerFactory(&NearestScaler::Make);
        oldMask_ = ::umask(022);
    }
    void TearDown() override {
        ::umask(oldMask_);
        NimbalCore::SetExportScalerFactory(nullptr);
        NimbalCore::ImagePool::DeleteInstance();
    }

    // Saves the file and tells how that ended.
    template <typename Exporter>
    static Outcome Save(Exporter& e) {
        Outcome o;
        try {
            e.SaveFile();
        } catch (const YlmErrp& err) {
            o.code = err.GetCode();
            o.operation = err.Get()->GetMessage();
        } catch (NbErrorCodes code) {
            o.code = code;
        } catch (int code) {
            o.code = code;
        }
        return o;
    }

    TempFolder folder_;
    NimbalCore::ImageRef hold_{nullptr};
    NimbalCore::ExportImageArray array_;
    mode_t oldMask_ = 022;
};

} // namespace exporttest
