// The stand-in drivers' container reader over arbitrary bytes: header, then
// the attribute table it points to, then the table written and read again.
#include "ZproContainer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumora::ByteView file(data, size);
    zyn::ZproHeader header;
    if (!zyn::ParseZproHeader(file, size, header)) return 0;
    auto table = file.sub(header.tableOffset, size - header.tableOffset);
    if (!table) std::abort();  // the header promised the table lies inside
    std::map<int32_t, zyn::ZproAttribute> attributes;
    if (!zyn::ParseZproAttributes(*table, header.attributeCount, attributes)) return 0;
    const std::vector<uint8_t> again = zyn::SerializeZproAttributes(attributes);
    std::map<int32_t, zyn::ZproAttribute> back;
    if (!zyn::ParseZproAttributes(lumora::ByteView(again.data(), again.size()), uint32_t(attributes.size()), back))
        std::abort();
    if (back.size() != attributes.size()) std::abort();
    return 0;
}
