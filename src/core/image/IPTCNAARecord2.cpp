#include "IPTCNAARecord2.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <cstdio>
#include <memory>

namespace NimbalCore {

namespace {

struct DatasetRow {
    uint8_t dataset;
    uint16_t maxLength;
    bool compared;
    bool repeatable;
};

constexpr DatasetRow kDatasets[IPTCNAARecord2::kDatasetCount] = {
    {0, 2, false, false},     {5, 64, true, false},     {7, 64, false, false},   {8, 2, false, false},
    {10, 1, true, false},     {15, 3, true, false},     {20, 32, true, true},    {22, 32, false, false},
    {25, 64, true, true},     {30, 8, false, false},    {35, 11, false, false},  {37, 8, false, false},
    {38, 11, false, false},   {40, 256, true, false},   {42, 2, false, false},   {45, 10, false, false},
    {47, 8, false, false},    {50, 8, false, false},    {55, 8, true, false},    {60, 11, false, false},
    {62, 8, false, false},    {63, 11, false, false},   {65, 32, false, false},  {70, 10, false, false},
    {75, 1, false, false},    {80, 32, true, false},    {85, 32, true, false},   {90, 32, true, false},
    {92, 32, false, false},   {95, 32, true, false},    {100, 3, false, false},  {101, 64, true, false},
    {103, 32, true, false},   {105, 256, true, false},  {110, 32, true, false},  {115, 32, true, false},
    {116, 128, true, false},  {118, 128, false, false}, {120, 2000, true, false}, {122, 32, true, false},
    {125, 7360, false, false}, {130, 2, false, false},  {131, 1, false, false},  {135, 3, false, false},
    {150, 2, false, false},   {151, 6, false, false},   {152, 2, false, false},  {153, 6, false, false},
    {154, 64, false, false},
};

constexpr uint8_t kTag = 0x1C;
constexpr uint8_t kRecord = 2;
constexpr uint32_t kHeaderBytes = 5;
const uint8_t kVersionDataset[7] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x03};

uint8_t* NewZeroed(uint32_t size) {
    uint8_t* p = new (std::nothrow) uint8_t[size];
    if (p) std::memset(p, 0, size);
    return p;
}

// What one record holds for the comparison: per table row either the last
// value of a single dataset or the values of a repeatable one.
struct Summary {
    std::string single[IPTCNAARecord2::kDatasetCount];
    bool present[IPTCNAARecord2::kDatasetCount] = {};
    int count[IPTCNAARecord2::kDatasetCount] = {};
    std::set<std::string> values[IPTCNAARecord2::kDatasetCount];
};

std::string TrimBlanks(std::string s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (s.size() > 2 && blank(s.front())) s.erase(s.begin());
    while (s.size() > 2 && blank(s.back())) s.pop_back();
    return s;
}

void Summarise(IPTCNAARecord2 record, Summary& summary) {
    int index;
    const uint8_t* data;
    uint16_t length;
    bool more = record.GetFirstDataset(&index, &data, &length);
    while (more) {
        if (index >= 1 && index < IPTCNAARecord2::kDatasetCount) {
            std::string value(reinterpret_cast<const char*>(data), length);
            if (kDatasets[index].repeatable) {
                ++summary.count[index];
                summary.values[index].insert(TrimBlanks(value));
            } else {
                while (value.size() > 2 && value.back() == '\0') value.pop_back();
                summary.single[index] = value;
                summary.present[index] = true;
            }
        }
        more = record.GetNextDataset(&index, &data, &length);
    }
}

} // namespace

IPTCNAARecord2::IPTCNAARecord2() : start_(new uint8_t[kInitialCapacity]()), capacity_(kInitialCapacity) {}

IPTCNAARecord2::IPTCNAARecord2(const IPTCNAARecord2& other)
    : start_(new uint8_t[other.capacity_]()), readPos_(other.readPos_), writeEnd_(other.writeEnd_),
      capacity_(other.capacity_) {
    if (other.start_) std::memcpy(start_, other.start_, capacity_);
}

IPTCNAARecord2& IPTCNAARecord2::operator=(const IPTCNAARecord2& other) {
    if (this == &other || !other.start_) return *this;
    // The whole buffer, whatever its capacity: a record grown past 64 KiB
    // must not arrive shortened.
    uint8_t* copy = NewZeroed(other.capacity_);
    if (!copy) return *this;
    std::memcpy(copy, other.start_, other.capacity_);
    delete[] start_;
    start_ = copy;
    capacity_ = other.capacity_;
    readPos_ = other.readPos_;
    writeEnd_ = other.writeEnd_;
    return *this;
}

IPTCNAARecord2::~IPTCNAARecord2() { delete[] start_; }

bool IPTCNAARecord2::Reset() {
    if (!start_) {
        start_ = NewZeroed(kInitialCapacity);
        if (!start_) return false;
        capacity_ = kInitialCapacity;
    }
    std::memset(start_, 0, capacity_);
    std::memcpy(start_, kVersionDataset, sizeof(kVersionDataset));
    writeEnd_ = sizeof(kVersionDataset);
    readPos_ = 0;
    return true;
}

bool IPTCNAARecord2::IsEmpty() const {
    if (!start_) return false;
    const uint32_t n = std::min<uint32_t>(uint16_t(capacity_), kInitialCapacity);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t expected = i < sizeof(kVersionDataset) ? kVersionDataset[i] : 0;
        if (start_[i] != expected) return false;
    }
    return true;
}

bool IPTCNAARecord2::HasValidHeader() const {
    if (!start_ || capacity_ <= 7) return false;
    if (start_[0] != kTag || start_[1] != kRecord || start_[2] != 0) return false;
    if (((start_[3] << 8) | start_[4]) != kDatasets[0].maxLength) return false;
    const int version = (start_[5] << 8) | start_[6];
    return version == 2 || version == 3;
}

bool IPTCNAARecord2::Validate() {
    if (!start_ || capacity_ == 0) return false;
    uint64_t p = 0;
    while (p < capacity_ && start_[p] == kTag) {
        // The header must lie inside the buffer before it is read.
        if (p + kHeaderBytes > capacity_) return false;
        if (start_[p + 1] != kRecord) return false;
        uint16_t max = 0;
        GetMaxLength(start_[p + 2], &max);
        const uint32_t length = (uint32_t(start_[p + 3]) << 8) | start_[p + 4];
        if (length > max) return false;
        p += length + kHeaderBytes;
    }
    if (p >= capacity_) return false;
    writeEnd_ = uint32_t(p);
    return true;
}

bool IPTCNAARecord2::AddDataset(int index, const uint8_t* data, uint32_t length) {
    if (index < 0 || index >= kDatasetCount || !data || !start_) return false;
    if (length > kDatasets[index].maxLength) return false;
    uint64_t needed = uint64_t(writeEnd_) + length + kHeaderBytes;
    if (needed >= capacity_) {
        // Doubling until it fits: one doubling may not be enough for the
        // largest dataset in a small buffer.
        uint64_t newCapacity = capacity_;
        while (needed >= newCapacity) newCapacity *= 2;
        if (newCapacity > 0xFFFFFFFFull) return false;
        uint8_t* grown = NewZeroed(uint32_t(newCapacity));
        if (!grown) return false;
        std::memcpy(grown, start_, capacity_);
        delete[] start_;
        start_ = grown;
        capacity_ = uint32_t(newCapacity);
    }
    uint8_t* w = start_ + writeEnd_;
    w[0] = kTag;
    w[1] = kRecord;
    w[2] = kDatasets[index].dataset;
    w[3] = uint8_t(length >> 8);
    w[4] = uint8_t(length & 0xFF);
    if (length) std::memcpy(w + kHeaderBytes, data, length);
    writeEnd_ += length + kHeaderBytes;
    return true;
}

bool IPTCNAARecord2::FindDatasetIndex(uint8_t dataset, int* index) {
    *index = kDatasetCount;
    for (int i = 0; i < kDatasetCount; ++i)
        if (kDatasets[i].dataset == dataset) {
            *index = i;
            return true;
        }
    return false;
}

bool IPTCNAARecord2::GetMaxLength(uint8_t dataset, uint16_t* maxLength) {
    int index;
    *maxLength = FindDatasetIndex(dataset, &index) ? kDatasets[index].maxLength : 0;
    return index < kDatasetCount;
}

bool IPTCNAARecord2::GetFirstDataset(int* index, const uint8_t** data, uint16_t* length) {
    if (!start_) return false;
    readPos_ = 0;
    return GetNextDataset(index, data, length);
}

bool IPTCNAARecord2::GetNextDataset(int* index, const uint8_t** data, uint16_t* length) {
    if (!start_) return false;
    *index = kDatasetCount;
    *data = nullptr;
    *length = 0;
    uint64_t p = readPos_;
    while (p < capacity_ && start_[p] != kTag) ++p;
    if (p >= capacity_) {
        readPos_ = capacity_ - 1;
        return false;
    }
    ++p;
    if (p >= capacity_ || start_[p] != kRecord) {
        readPos_ = uint32_t(std::min<uint64_t>(p + 1, capacity_ - 1));
        return false;
    }
    ++p;
    // A dataset cut off by the buffer's end is not reported.
    if (p + 3 > capacity_) {
        readPos_ = capacity_ - 1;
        return false;
    }
    FindDatasetIndex(start_[p], index);
    const uint32_t n = (uint32_t(start_[p + 1]) << 8) | start_[p + 2];
    p += 3;
    if (p + n > capacity_) {
        *index = kDatasetCount;
        readPos_ = capacity_ - 1;
        return false;
    }
    *data = start_ + p;
    *length = uint16_t(n);
    readPos_ = uint32_t(std::min<uint64_t>(p + n, capacity_ - 1));
    return true;
}

uint32_t IPTCNAARecord2::GetLength() const { return writeEnd_; }

bool IPTCNAARecord2::GetBuffer(const uint8_t** start, uint32_t* size) const {
    *start = start_;
    *size = capacity_;
    return start_ != nullptr;
}

bool IPTCNAARecord2::SetFromBuffer(const uint8_t* source, uint16_t length) {
    if (!source || length == 0) return false;
    if (capacity_ < length) {
        uint8_t* bigger = NewZeroed(uint32_t(length) + 1);
        delete[] start_;
        start_ = bigger;
        capacity_ = bigger ? uint32_t(length) + 1 : 0;
        readPos_ = writeEnd_ = 0;
        if (!bigger) return false;
    }
    std::memset(start_, 0, capacity_);
    std::memmove(start_, source, length);
    readPos_ = 0;
    writeEnd_ = 0;
    return Validate();
}

bool IPTCNAARecord2::IsEqual(const IPTCNAARecord2& other) const {
    Summary mine, theirs;
    Summarise(*this, mine);
    Summarise(other, theirs);
    for (int i = 1; i < kDatasetCount; ++i) {
        if (!kDatasets[i].compared) continue;
        if (kDatasets[i].repeatable) {
            if (mine.count[i] != theirs.count[i] || mine.values[i] != theirs.values[i]) return false;
        } else if (mine.single[i] != theirs.single[i]) {
            return false;
        }
    }
    return true;
}

bool IPTCNAARecord2::WriteToFile(const FilePathSpec& path) const {
    if (!start_) return false;
    std::FILE* stream = std::fopen(path.GetPath().c_str(), "wb+");
    if (!stream) return false;
    const size_t length = GetLength();
    const size_t written = length ? std::fwrite(start_, 1, length, stream) : 0;
    const bool streamOk = !std::ferror(stream);
    const bool closed = std::fclose(stream) == 0;
    return streamOk && written == length && closed;
}

bool IPTCNAARecord2::ReadFromFile(const FilePathSpec& path) {
    if (!ReadFileBytes(path)) {
        Reset();
        return false;
    }
    return true;
}

bool IPTCNAARecord2::ReadFileBytes(const FilePathSpec& path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> stream(std::fopen(path.GetPath().c_str(), "rb"));
    if (!stream) return false;
    if (std::fseek(stream.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(stream.get());
    if (size < 0 || std::fseek(stream.get(), 0, SEEK_SET) != 0) return false;
    if (uint64_t(size) > kMaxFileSize) return false;
    if (!start_ || capacity_ < uint64_t(size) + 1) {
        // One byte more than the file, so the buffer always ends in a zero.
        uint8_t* bigger = NewZeroed(uint32_t(size) + 1);
        if (!bigger) return false;
        delete[] start_;
        start_ = bigger;
        capacity_ = uint32_t(size) + 1;
    }
    std::memset(start_, 0, capacity_);
    readPos_ = writeEnd_ = 0;
    const size_t got = std::fread(start_, 1, capacity_, stream.get());
    if (std::ferror(stream.get()) || got > uint64_t(size)) return false;
    if (std::fclose(stream.release()) != 0) return false;
    if (!HasValidHeader()) return false;
    readPos_ = 0;
    // A dataset that claims more bytes than the file holds is a cut file,
    // not one padded with zeros.
    return Validate() && writeEnd_ <= uint64_t(size);
}

} // namespace NimbalCore
