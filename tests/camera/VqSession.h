#pragma once
// The camera interface opened for one test (without the FireWire manager) and
// closed again, and synthetic raw files written into a scratch folder.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CameraHandleMap.h"
#include "DriverState.h"
#include "ImageHandleMap.h"
#include "TempFolder.h"
#include "Vq.h"
#include "ZyrSample.h"

class VqSession {
public:
    VqSession() {
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        const uint32_t s = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
        EXPECT_TRUE(s == VQ_ERR_DEFAULTS_KEPT || s == VQ_ERR_PREFS_READ) << std::hex << s;
    }
    ~VqSession() { VqCloseDriver(); }
    VqSession(const VqSession&) = delete;
    VqSession& operator=(const VqSession&) = delete;

    static int32_t Memory() {
        int32_t m = -1;
        VqGetMemoryUsage(&m);
        return m;
    }
};

inline std::string WriteFile(const lumora::test::TempFolder& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir.path() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

inline ImageInfoRecord EmptyRecord() {
    ImageInfoRecord r;
    std::memset(&r, 0, sizeof r);
    return r;
}

