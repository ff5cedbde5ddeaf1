#pragma once
// The camera models this interface knows, by the prefix of their model text.
#include <cstdint>

namespace lumora::vq {

enum ModelFamily : int32_t {
    kFamilyOldest = 0,   // read by SdkImageBase itself
    kFamilyRaw1 = 1,
    kFamilyRaw2 = 2,
    kFamilyRaw3 = 3,
    kFamilyUnknown = 4,
};

enum FileKind : int32_t {
    kFileRawTiff = 0,
    kFileCameraJpeg = 1,
    kFileSound = 2,
    kFileRgbTiff = 3,
    kFileUnknown = 4,
};

struct ModelRow {
    const char* prefix;
    int32_t modelId;
    int32_t family;
    const void* extra;  // always null; kept so a row has its fixed shape
};

class ModelTable {
public:
    static constexpr int kRowCount = 23;
    static const ModelRow* Rows();
};

// First row (in table order) whose prefix starts the model text gives the family;
// no match gives family 4 and model id 0 and leaves *row as it was.
int32_t SdkLookUpModel(const char* model, const ModelRow** row, int32_t* modelId);

} // namespace lumora::vq
