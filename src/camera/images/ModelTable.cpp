#include "ModelTable.h"

#include <cstring>

#include "VqModelNames.h"

namespace lumora::vq {

namespace {
// Row order matters: the search takes the first match. Prefixes are a model
// code and the model number.
const ModelRow kRows[ModelTable::kRowCount] = {
    {VQ_MODEL_CODE "01", 1, 0, nullptr},
    {VQ_MODEL_CODE "02", 2, 0, nullptr},
    {VQ_MODEL_CODE "03", 3, 0, nullptr},
    {VQ_MODEL_CODE "04", 4, 0, nullptr},
    {VQ_MODEL_CODE "05", 5, 0, nullptr},
    {VQ_MODEL_CODE "06", 6, 0, nullptr},
    {VQ_MODEL_CODE "07", 7, 0, nullptr},
    {VQ_MODEL_CODE "08", 8, 0, nullptr},
    {VQ_MODEL_CODE "09", 9, 0, nullptr},
    {VQ_MODEL_CODE "10", 10, 0, nullptr},
    {VQ_MODEL_CODE_SECOND "09", 9, 0, nullptr},
    {VQ_MODEL_CODE "11", 11, 1, nullptr},
    {VQ_MODEL_CODE "12", 12, 1, nullptr},
    {VQ_MODEL_CODE "14", 14, 1, nullptr},
    {VQ_MODEL_CODE "15", 15, 1, nullptr},
    {VQ_MODEL_CODE "20", 20, 1, nullptr},
    {VQ_MODEL_CODE "16", 16, 3, nullptr},
    {VQ_MODEL_CODE "17", 17, 3, nullptr},
    {VQ_MODEL_CODE "19", 19, 3, nullptr},
    {VQ_MODEL_CODE "13", 13, 2, nullptr},
    {VQ_MODEL_CODE "18", 18, 2, nullptr},
    {VQ_MODEL_CODE "21", 21, 3, nullptr},
    {VQ_MODEL_CODE "22", 22, 1, nullptr},
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
