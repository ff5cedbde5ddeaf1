#pragma once
// The IPTC application record (record 2) of an image, kept as the byte stream
// in which it travels: datasets 1C 02 nn, a big-endian length and the data,
// followed by zero bytes up to the buffer's capacity. Datasets are checked
// against the table of the 49 record-2 datasets the program knows.
#include "FilePathSpec.h"

#include <cstdint>

namespace NimbalCore {

class IPTCNAARecord2 {
public:
    static constexpr int kDatasetCount = 49;   // table rows; index 49 is "unknown"
    static constexpr int kObjectName = 1;
    static constexpr int kCopyrightNotice = 36;
    static constexpr uint32_t kInitialCapacity = 4096;
    static constexpr uint32_t kMaxFileSize = 65536;

    IPTCNAARecord2();
    IPTCNAARecord2(const IPTCNAARecord2& other);
    IPTCNAARecord2& operator=(const IPTCNAARecord2& other);
    virtual ~IPTCNAARecord2();

    bool Reset();
    bool IsEmpty() const;
    bool HasValidHeader() const;
    bool Validate();
    bool AddDataset(int index, const uint8_t* data, uint32_t length);
    static bool FindDatasetIndex(uint8_t dataset, int* index);
    static bool GetMaxLength(uint8_t dataset, uint16_t* maxLength);
    bool GetFirstDataset(int* index, const uint8_t** data, uint16_t* length);
    bool GetNextDataset(int* index, const uint8_t** data, uint16_t* length);
    uint32_t GetLength() const;
    // The start and the whole capacity: the datasets followed by zero bytes.
    // The size is 32-bit so that a record of 64 KiB or more is never handed
    // on cut short.
    bool GetBuffer(const uint8_t** start, uint32_t* size) const;
    bool SetFromBuffer(const uint8_t* source, uint16_t length);
    bool IsEqual(const IPTCNAARecord2& other) const;
    bool operator==(const IPTCNAARecord2& other) const { return IsEqual(other); }
    // The record file (".ipt"): the datasets alone, no header or padding.
    bool WriteToFile(const FilePathSpec& path) const;
    // A file of at most kMaxFileSize bytes with a valid version dataset. On
    // any failure the record is left reset, so whoever shows it next has a
    // usable record.
    bool ReadFromFile(const FilePathSpec& path);

private:
    bool ReadFileBytes(const FilePathSpec& path);

    uint8_t* start_ = nullptr;
    uint32_t readPos_ = 0;   // offsets from start_
    uint32_t writeEnd_ = 0;
    uint32_t capacity_ = 0;
};

} // namespace NimbalCore
