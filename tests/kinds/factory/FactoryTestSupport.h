#pragma once
// Shared set-up of the factory tests over the real image kinds: the kinds
// installed with a pool (stand-in drivers and the camera interface of the
// build), and raw files of the camera interface written with the fields the
// first opening reads.
#include "ImagePool.h"
#include "InstalledImageKinds.h"
#include "TempFolder.h"
#include "ZyrSample.h"

#include <string>

namespace factorytest {

// The kinds and a fresh pool for one test; the pool goes with it. With
// driversFail the three named drivers fail to start.
class KindsScope {
public:
    explicit KindsScope(bool driversFail = false);
    ~KindsScope();
    KindsScope(const KindsScope&) = delete;
    KindsScope& operator=(const KindsScope&) = delete;
    NimbalCore::ImagePool* Pool() { return NimbalCore::ImagePool::Instance(); }
};

// A raw file of the camera line (family of the model), with its tag word
// (tag 1002; -1 leaves it out), its sound key (tag 1001) and its camera
// settings text (tag 1009).
std::string WriteCameraRaw(const lumora::test::TempFolder& folder, const std::string& name,
                           ZyrSampleOptions options = ZyrSampleOptions(), int tagWord = 1,
                           const std::string& soundKey = "ZYNS0001.WAV", bool settingsText = true);
// A file of the oldest models (family 0).
std::string WriteOldestRaw(const lumora::test::TempFolder& folder, const std::string& name);
// A small baseline JPEG and a small finished TIFF.
std::string WriteJpeg(const lumora::test::TempFolder& folder, const std::string& name, int seed = 1);
std::string WriteTiff(const lumora::test::TempFolder& folder, const std::string& name);
// A stand-in raw file of the newest models.
std::string WriteZpro(const lumora::test::TempFolder& folder, const std::string& name, int modelCode = 2048);

} // namespace factorytest
