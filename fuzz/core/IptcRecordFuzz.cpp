// An IPTC block as a file or a maker block hands it over: taken, walked,
// compared, copied and extended.
#include "IPTCNAARecord2.h"

#include <cstddef>
#include <cstdint>

using NimbalCore::IPTCNAARecord2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 65535) return 0;
    IPTCNAARecord2 record;
    if (!record.SetFromBuffer(data, uint16_t(size))) return 0;
    int index;
    const uint8_t* value;
    uint16_t length;
    for (bool more = record.GetFirstDataset(&index, &value, &length); more;
         more = record.GetNextDataset(&index, &value, &length)) {
        if (length) (void)value[length - 1];
    }
    IPTCNAARecord2 copy;
    copy = record;
    (void)copy.IsEqual(record);
    const uint8_t text[64] = {'x'};
    record.AddDataset(8, text, sizeof text);
    (void)record.HasValidHeader();
    (void)record.IsEmpty();
    return 0;
}
