#include "TableBase.h"

namespace lumora {

bool TableBase::IsValid() const { return entries == nullptr || attached != 0; }

VqStatus TableBase::Attach(uint16_t* e, int32_t n, int32_t t) {
    if (!e || n <= 0 || (n & 1) != 0) return VQ_ERR_BAD_TABLE;
    entries = e;
    length = n;
    top = t;
    attached = 1;
    return VQ_OK;
}

VqStatus TableBase::Generate() { return VQ_OK; }

} // namespace lumora
