#include "RawTiffWriter.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "SdkFile.h"
#include "SdkUtilities.h"

using lumora::ByteOrder;
using lumora::ByteView;

namespace {

constexpr uint16_t kTagWhiteBalance = 1036;
constexpr uint16_t kTypeShort = 3;

// Bytes of one element of a type: rationals are two 32-bit words.
uint32_t ElementBytes(uint16_t type) {
    switch (type) {
    case 3:
    case 8: return 2;
    case 4:
    case 5:
    case 9:
    case 10:
    case 11: return 4;
    case 12: return 8;
    default: return 1;
    }
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

} // namespace

RawTiffWriter::RawTiffWriter() = default;

RawTiffWriter::~RawTiffWriter() = default;

VqStatus RawTiffWriter::CheckFileName(const char* path) {
    if (!path) return VQ_ERR_BAD_HANDLE;
    const std::string p(path);
    const size_t dot = p.rfind('.');
    VqStatus status = 0;
    if (dot == std::string::npos || p.size() - dot != 3 || Lower(p[dot + 1]) != 'w' || Lower(p[dot + 2]) != 'b')
        status = VQ_ERR_VALUE_OUT_OF_RANGE;
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return VQ_ERR_VALUE_OUT_OF_RANGE;
    if (p.size() - slash > kMaxNameLength) return VQ_ERR_FILE_NAME_TOO_LONG;
    return status;
}

VqStatus RawTiffWriter::Open(const char* path) {
    if (!path) return VQ_ERR_BAD_HANDLE;
    file_.reset(new (std::nothrow) SdkFile());
    if (!file_) return VQ_ERR_FILE_NO_MEMORY;
    const VqStatus status = file_->Open(path, SdkFile::kCreateNew);
    if (status == 0) path_ = path;
    return status;
}

VqStatus RawTiffWriter::Close() {
    if (file_) file_->Close();
    return 0;
}

void RawTiffWriter::Discard() {
    Close();
    if (!path_.empty()) std::remove(path_.c_str());
    path_.clear();
}

VqStatus RawTiffWriter::Begin(uint32_t bufferSize, uint32_t dataStart) {
    if (bufferSize < kHeaderBytes || dataStart > bufferSize) return VQ_ERR_BAD_ARGUMENT;
    try {
        buffer_.assign(bufferSize, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    buffer_[0] = 'M';
    buffer_[1] = 'M';
    Put16(2, 42);
    Put32(4, kHeaderBytes);
    entryCursor_ = kHeaderBytes;
    dataCursor_ = dataStart;
    return 0;
}

void RawTiffWriter::Put16(uint32_t at, uint16_t value) { SdkPutBig16(value, buffer_.data() + at); }

void RawTiffWriter::Put32(uint32_t at, uint32_t value) {
    const uint32_t word = SdkToBig32(value);
    std::memcpy(buffer_.data() + at, &word, 4);
}

VqStatus RawTiffWriter::PutShort(uint16_t value) {
    if (!Fits(entryCursor_, 2)) return VQ_ERR_FILE_NO_MEMORY;
    Put16(entryCursor_, value);
    entryCursor_ += 2;
    return 0;
}

VqStatus RawTiffWriter::PatchShort(uint32_t offset, uint16_t value) {
    if (!Fits(offset, 2)) return VQ_ERR_BAD_ARGUMENT;
    Put16(offset, value);
    return 0;
}

VqStatus RawTiffWriter::PutNextDirectory(bool last) {
    if (!Fits(entryCursor_, 4)) return VQ_ERR_FILE_NO_MEMORY;
    Put32(entryCursor_, last ? 0 : entryCursor_ + 4);
    entryCursor_ += 4;
    return 0;
}

VqStatus RawTiffWriter::PutHead(uint16_t tag, uint16_t type, uint32_t count) {
    if (!Fits(entryCursor_, kEntryBytes)) return VQ_ERR_FILE_NO_MEMORY;
    Put16(entryCursor_, tag);
    Put16(entryCursor_ + 2, type);
    Put32(entryCursor_ + 4, count);
    return 0;
}

VqStatus RawTiffWriter::CopyValues(uint16_t type, uint32_t count, uint64_t offset, const Source& source) {
    const uint32_t element = ElementBytes(type);
    const uint64_t bytes = uint64_t(SdkTiffTypeSize(type)) * count;
    // The value must be in the source, and the data area must hold it.
    if (!source.bytes.contains(offset, bytes)) return VQ_ERR_BAD_FILE;
    if (!Fits(dataCursor_, bytes)) return VQ_ERR_FILE_NO_MEMORY;
    uint8_t* out = buffer_.data() + dataCursor_;
    const ByteView& in = source.bytes;
    for (uint64_t at = 0; at < bytes; at += element) {
        if (element == 2) {
            uint16_t v = 0;
            in.u16(offset + at, source.order, v);
            SdkPutBig16(v, out + at);
        } else if (element == 4) {
            uint32_t v = 0;
            in.u32(offset + at, source.order, v);
            const uint32_t big = SdkToBig32(v);
            std::memcpy(out + at, &big, 4);
        } else if (element == 8) {
            // Doubles: the eight bytes reversed when the source is little-endian.
            uint8_t b[8];
            in.copy(offset + at, b, 8);
            for (int i = 0; i < 8; ++i) out[at + uint64_t(i)] = source.order == ByteOrder::Big ? b[i] : b[7 - i];
        } else {
            in.copy(offset + at, out + at, 1);
        }
    }
    dataCursor_ += uint32_t(bytes);
    return 0;
}

VqStatus RawTiffWriter::PutEntry(const RawTiffReader::Entry& e, uint32_t entryPosition, const Source& source) {
    const uint16_t size = SdkTiffTypeSize(e.type);
    if (size == 0) return VQ_ERR_VALUE_ABSENT;
    const uint64_t bytes = uint64_t(size) * e.count;
    if (VqStatus status = PutHead(e.tag, e.type, e.count)) return status;
    const uint32_t field = entryCursor_ + 8;
    if (bytes > 4) {
        Put32(field, dataCursor_);
        if (VqStatus status = CopyValues(e.type, e.count, e.value, source)) return status;
    } else {
        switch (e.type) {
        case 1:
        case 2:
        case 6:
        case 7: {
            // The bytes of the source entry's value field, in file order.
            uint8_t word[4] = {};
            if (!source.bytes.copy(uint64_t(entryPosition) + 8, word, 4)) return VQ_ERR_BAD_FILE;
            std::memcpy(buffer_.data() + field, word, size_t(bytes));
            break;
        }
        case 3:
        case 8:
            if (e.count == 1) {
                Put16(field, uint16_t(e.value));
            } else if (e.count == 2) {
                uint16_t a = 0, b = 0;
                if (!source.bytes.u16(uint64_t(entryPosition) + 8, source.order, a) ||
                    !source.bytes.u16(uint64_t(entryPosition) + 10, source.order, b))
                    return VQ_ERR_BAD_FILE;
                Put16(field, a);
                Put16(field + 2, b);
            }
            break;
        case 4:
        case 9:
            if (e.count == 1) Put32(field, e.value);
            break;
        default:
            return VQ_ERR_VALUE_ABSENT;
        }
    }
    entryCursor_ += kEntryBytes;
    return 0;
}

VqStatus RawTiffWriter::PutTextEntry(const char* text, const RawTiffReader::Entry& e, uint32_t entryPosition,
                                     const Source& source) {
    if (!text) return PutEntry(e, entryPosition, source);
    const uint32_t length = uint32_t(strnlen(text, buffer_.size()));
    if (VqStatus status = PutHead(e.tag, e.type, length)) return status;
    const uint32_t field = entryCursor_ + 8;
    if (length <= 4) {
        std::memcpy(buffer_.data() + field, text, length);
    } else {
        if (!Fits(dataCursor_, length)) return VQ_ERR_FILE_NO_MEMORY;
        Put32(field, dataCursor_);
        std::memcpy(buffer_.data() + dataCursor_, text, length);
        dataCursor_ += length;
    }
    entryCursor_ += kEntryBytes;
    return 0;
}

VqStatus RawTiffWriter::PutSubDirectoryEntry(const RawTiffReader::Entry& e) {
    // The data area moves on by the entry's count: a damaged count must not
    // carry it past the buffer (or wrap it back over the directories).
    if (!Fits(dataCursor_, e.count)) return VQ_ERR_FILE_NO_MEMORY;
    if (VqStatus status = PutHead(e.tag, e.type, e.count)) return status;
    Put32(entryCursor_ + 8, entryCursor_ + kEntryBytes + 4);
    entryCursor_ += kEntryBytes;
    dataCursor_ += e.count;
    return 0;
}

VqStatus RawTiffWriter::PutShortTriple(uint16_t a, uint16_t b, uint16_t c) {
    if (!Fits(dataCursor_, 6)) return VQ_ERR_FILE_NO_MEMORY;
    if (VqStatus status = PutHead(kTagWhiteBalance, kTypeShort, 3)) return status;
    Put32(entryCursor_ + 8, dataCursor_);
    Put16(dataCursor_, a);
    Put16(dataCursor_ + 2, b);
    Put16(dataCursor_ + 4, c);
    entryCursor_ += kEntryBytes;
    dataCursor_ += 6;
    return 0;
}

VqStatus RawTiffWriter::Flush() {
    if (!file_) return VQ_ERR_BAD_HANDLE;
    if (dataCursor_ > buffer_.size()) return VQ_ERR_FILE_NO_MEMORY;
    return file_->Write(buffer_.data(), dataCursor_);
}
