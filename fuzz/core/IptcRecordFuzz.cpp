// An IPTC block as a file or a maker block hands it over: taken, walked,
// compared, copied and extended.
#include "IPTCNAARecord2.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using NimbalCore::IPTCNAARecord2;

namespace {

// The record file's reader over the same bytes: a failed read must leave a
// record whose cursors can be walked.
void ReadAsRecordFile(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/lumora-iptfuzz-" + std::to_string(getpid()) + ".ipt";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    IPTCNAARecord2 record;
    (void)record.ReadFromFile(path);
    (void)record.Validate();
    int index;
    const uint8_t* value;
    uint16_t length;
    for (bool more = record.GetFirstDataset(&index, &value, &length); more;
         more = record.GetNextDataset(&index, &value, &length)) {
        if (length) (void)value[length - 1];
    }
    const uint8_t text[64] = {'y'};
    record.AddDataset(8, text, sizeof text);
    std::remove(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65537) return 0;
    ReadAsRecordFile(data, size);
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
