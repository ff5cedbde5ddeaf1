#include "ModelTable.h"

#include <cstring>

namespace lumora::vq {

namespace {
// Row order matters: the search takes the first match.
const ModelRow kRows[ModelTable::kRowCount] = {
    {"ZYNM01", 1, 0, nullptr},  {"ZYNM02", 2, 0, nullptr},  {"ZYNM03", 3, 0, nullptr},
    {"ZYNM04", 4, 0, nullptr},  {"ZYNM05", 5, 0, nullptr},  {"ZYNM06", 6, 0, nullptr},
    {"ZYNM07", 7, 0, nullptr},  {"ZYNM08", 8, 0, nullptr},  {"ZYNM09", 9, 0, nullptr},
    {"ZYNM10", 10, 0, nullptr}, {"ZYNX09", 9, 0, nullptr},  {"ZYNM11", 11, 1, nullptr},
    {"ZYNM12", 12, 1, nullptr}, {"ZYNM14", 14, 1, nullptr}, {"ZYNM15", 15, 1, nullptr},
    {"ZYNM20", 20, 1, nullptr}, {"ZYNM16", 16, 3, nullptr}, {"ZYNM17", 17, 3, nullptr},
    {"ZYNM19", 19, 3, nullptr}, {"ZYNM13", 13, 2, nullptr}, {"ZYNM18", 18, 2, nullptr},
    {"ZYNM21", 21, 3, nullptr}, {"ZYNM22", 22, 1, nullptr},
};
} // namespace

const ModelRow* ModelTable::Rows() { return kRows; }

int32_t SdkLookUpModel(const char* model, const ModelRow** row, int32_t* modelId) {
    if (modelId) *modelId = 0;
    if (!model) return kFamilyUnknown;
    for (const ModelRow& r : kRows) {
        // strncmp stops at the model text's terminator, so a short text never
        // matches a longer prefix.
        if (std::strncmp(r.prefix, model, std::strlen(r.prefix)) == 0) {
            if (row) *row = &r;
            if (modelId) *modelId = r.modelId;
            return r.family;
        }
    }
    return kFamilyUnknown;
}

} // namespace lumora::vq
