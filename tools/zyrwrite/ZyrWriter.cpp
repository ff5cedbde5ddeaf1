#include "ZyrWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using lumora::ByteOrder;

namespace {
uint64_t align4(uint64_t v) { return (v + 3) & ~uint64_t(3); }
} // namespace

void ZyrWriter::Put16(std::vector<uint8_t>& out, uint16_t v) const {
    if (order_ == ByteOrder::Big) {
        out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v));
    } else {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
}

void ZyrWriter::Put32(std::vector<uint8_t>& out, uint32_t v) const {
    if (order_ == ByteOrder::Big) {
        Put16(out, uint16_t(v >> 16));
        Put16(out, uint16_t(v));
    } else {
        Put16(out, uint16_t(v));
        Put16(out, uint16_t(v >> 16));
    }
}

ZyrWriter::IfdId ZyrWriter::AddIfd() {
    ifds_.emplace_back();
    return IfdId(ifds_.size() - 1);
}

void ZyrWriter::Add(IfdId ifd, Entry entry) {
    if (ifd < 0 || size_t(ifd) >= ifds_.size()) throw std::out_of_range("ZyrWriter: no such directory");
    ifds_[size_t(ifd)].entries.push_back(std::move(entry));
}

void ZyrWriter::Ascii(IfdId ifd, uint16_t tag, const std::string& text) {
    AsciiField(ifd, tag, text, uint32_t(text.size() + 1));
}

void ZyrWriter::AsciiField(IfdId ifd, uint16_t tag, const std::string& text, uint32_t count) {
    std::vector<uint8_t> bytes(count, 0);
    std::memcpy(bytes.data(), text.data(), std::min<size_t>(text.size(), count));
    Bytes(ifd, tag, 2, bytes);
}

void ZyrWriter::Bytes(IfdId ifd, uint16_t tag, uint16_t type, const std::vector<uint8_t>& bytes) {
    RawData(ifd, tag, type, uint32_t(bytes.size()), bytes);
}

void ZyrWriter::Shorts(IfdId ifd, uint16_t tag, const std::vector<uint16_t>& values, uint16_t type) {
    std::vector<uint8_t> data;
    for (uint16_t v : values) Put16(data, v);
    RawData(ifd, tag, type, uint32_t(values.size()), data);
}

void ZyrWriter::Longs(IfdId ifd, uint16_t tag, const std::vector<uint32_t>& values, uint16_t type) {
    std::vector<uint8_t> data;
    for (uint32_t v : values) Put32(data, v);
    RawData(ifd, tag, type, uint32_t(values.size()), data);
}

void ZyrWriter::Rationals(IfdId ifd, uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values,
                          uint16_t type) {
    std::vector<uint8_t> data;
    for (auto [n, d] : values) {
        Put32(data, n);
        Put32(data, d);
    }
    RawData(ifd, tag, type, uint32_t(values.size()), data);
}

void ZyrWriter::Floats(IfdId ifd, uint16_t tag, const std::vector<float>& values) {
    std::vector<uint8_t> data;
    for (float f : values) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Put32(data, bits);
    }
    RawData(ifd, tag, 11, uint32_t(values.size()), data);
}

void ZyrWriter::Doubles(IfdId ifd, uint16_t tag, const std::vector<double>& values) {
    std::vector<uint8_t> data;
    for (double d : values) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        if (order_ == ByteOrder::Big) {
            Put32(data, uint32_t(bits >> 32));
            Put32(data, uint32_t(bits));
        } else {
            Put32(data, uint32_t(bits));
            Put32(data, uint32_t(bits >> 32));
        }
    }
    RawData(ifd, tag, 12, uint32_t(values.size()), data);
}

void ZyrWriter::RawData(IfdId ifd, uint16_t tag, uint16_t type, uint32_t count, const std::vector<uint8_t>& fileBytes) {
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.kind = Kind::Data;
    e.data = fileBytes;
    Add(ifd, std::move(e));
}

void ZyrWriter::RawEntry(IfdId ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t valueWord) {
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.kind = Kind::Raw;
    e.valueWord = valueWord;
    Add(ifd, std::move(e));
}

void ZyrWriter::Remove(IfdId ifd, uint16_t tag) {
    auto& entries = ifds_.at(size_t(ifd)).entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(), [tag](const Entry& e) { return e.tag == tag; }),
                  entries.end());
}

void ZyrWriter::SubIfds(IfdId parent, const std::vector<IfdId>& children) {
    Entry e;
    e.tag = 330;
    e.type = 4;
    e.count = uint32_t(children.size());
    e.kind = Kind::SubIfdLink;
    e.links = children;
    Add(parent, std::move(e));
}

void ZyrWriter::PrivateIfd(IfdId parent, IfdId child) {
    Entry e;
    e.tag = 33424;
    e.type = 4;
    e.count = 1;
    e.kind = Kind::PrivateLink;
    e.links = {child};
    Add(parent, std::move(e));
}

void ZyrWriter::NextIfd(IfdId from, IfdId to) { ifds_.at(size_t(from)).next = to; }

void ZyrWriter::Strip(IfdId ifd, std::vector<uint8_t> bytes, Placement placement) {
    ifds_.at(size_t(ifd)).strips.push_back({std::move(bytes), placement});
}

std::vector<uint8_t> ZyrWriter::Build(Layout* layoutOut) const {
    // Entries of each directory, with the strip tags made up from its strips.
    std::vector<std::vector<Entry>> lists(ifds_.size());
    for (size_t i = 0; i < ifds_.size(); ++i) {
        lists[i] = ifds_[i].entries;
        if (!ifds_[i].strips.empty()) {
            const uint32_t n = uint32_t(ifds_[i].strips.size());
            Entry offsets;
            offsets.tag = 273;
            offsets.type = 4;
            offsets.count = n;
            offsets.kind = Kind::StripOffsets;
            Entry counts = offsets;
            counts.tag = 279;
            counts.kind = Kind::StripCounts;
            // A strip tag the caller wrote stands instead of the made-up one.
            auto given = [&](uint16_t tag) {
                return std::any_of(lists[i].begin(), lists[i].end(), [&](const Entry& e) { return e.tag == tag; });
            };
            const bool ownOffsets = given(273), ownCounts = given(279);
            if (!ownOffsets) lists[i].push_back(offsets);
            if (!ownCounts) lists[i].push_back(counts);
        }
        if (sorted_)
            std::stable_sort(lists[i].begin(), lists[i].end(),
                             [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    }
    auto dataSize = [](const Entry& e) -> uint64_t {
        switch (e.kind) {
        case Kind::Data: return e.data.size();
        case Kind::Raw: return 0;
        case Kind::SubIfdLink: return 4ull * e.links.size();
        case Kind::PrivateLink: return 4;
        case Kind::StripOffsets:
        case Kind::StripCounts: return 4ull * e.count;
        }
        return 0;
    };

    // First pass: where every directory, value and strip goes.
    Layout layout;
    layout.ifdOffsets.resize(ifds_.size());
    layout.strips.resize(ifds_.size());
    std::vector<std::vector<uint64_t>> dataPos(ifds_.size());
    uint64_t off = std::max<uint32_t>(12, firstIfdOffset_);
    for (size_t i = 0; i < ifds_.size(); ++i) {
        off = align4(off);
        layout.ifdOffsets[i] = uint32_t(off);
        off += 2 + 12ull * lists[i].size() + 4;
        const bool before = i == 0 && firstIfdRoom_ != 0;
        uint64_t valueOff = before ? 16 : off;
        for (const Entry& e : lists[i]) {
            const uint64_t size = dataSize(e);
            if (size > 4) {
                valueOff = align4(valueOff);
                dataPos[i].push_back(valueOff);
                valueOff += size;
            } else {
                dataPos[i].push_back(0);
            }
        }
        if (before) {
            if (valueOff > layout.ifdOffsets[i] || 2 + 12ull * lists[i].size() + 4 > firstIfdRoom_)
                throw std::length_error("IFD0 and its values do not fit their room");
            off = uint64_t(layout.ifdOffsets[i]) + firstIfdRoom_;
        } else {
            off = valueOff;
        }
    }
    for (Placement pass : {Placement::Header, Placement::Sensor}) {
        if (pass == Placement::Sensor) layout.headerLength = uint32_t(align4(off));
        for (size_t i = 0; i < ifds_.size(); ++i) {
            layout.strips[i].resize(ifds_[i].strips.size());
            for (size_t s = 0; s < ifds_[i].strips.size(); ++s) {
                if (ifds_[i].strips[s].placement != pass) continue;
                off = align4(off);
                layout.strips[i][s] = uint32_t(off);
                off += ifds_[i].strips[s].bytes.size();
            }
        }
    }
    layout.fileLength = off;

    // Second pass: the bytes.
    std::vector<uint8_t> file(off, 0);
    auto write = [&](uint64_t at, const std::vector<uint8_t>& bytes) {
        if (!bytes.empty()) std::memcpy(file.data() + at, bytes.data(), bytes.size());
    };
    std::vector<uint8_t> head;
    if (order_ == ByteOrder::Big) {
        head = {'M', 'M', 0, 42};
    } else {
        head = {'I', 'I', 42, 0};
    }
    Put32(head, ifds_.empty() ? 0 : layout.ifdOffsets[0]);
    uint32_t word = 0;
    if (headerWord_ == HeaderLengthWord::Exact) word = layout.headerLength;
    if (headerWord_ == HeaderLengthWord::Given) word = headerWordValue_;
    Put32(head, word);
    write(0, head);

    for (size_t i = 0; i < ifds_.size(); ++i) {
        std::vector<uint8_t> dir;
        Put16(dir, uint16_t(lists[i].size()));
        for (size_t k = 0; k < lists[i].size(); ++k) {
            const Entry& e = lists[i][k];
            std::vector<uint8_t> data;
            switch (e.kind) {
            case Kind::Data: data = e.data; break;
            case Kind::Raw: break;
            case Kind::SubIfdLink:
            case Kind::PrivateLink:
                for (IfdId l : e.links) Put32(data, layout.ifdOffsets.at(size_t(l)));
                break;
            case Kind::StripOffsets:
                for (uint32_t s : layout.strips[i]) Put32(data, s);
                break;
            case Kind::StripCounts:
                for (const auto& s : ifds_[i].strips) Put32(data, uint32_t(s.bytes.size()));
                break;
            }
            Put16(dir, e.tag);
            Put16(dir, e.type);
            Put32(dir, e.count);
            if (e.kind == Kind::Raw) {
                Put32(dir, e.valueWord);
            } else if (data.size() <= 4) {
                data.resize(4, 0);
                dir.insert(dir.end(), data.begin(), data.end());
            } else {
                Put32(dir, uint32_t(dataPos[i][k]));
                write(dataPos[i][k], data);
            }
        }
        Put32(dir, ifds_[i].next >= 0 ? layout.ifdOffsets.at(size_t(ifds_[i].next)) : 0);
        write(layout.ifdOffsets[i], dir);
        for (size_t s = 0; s < ifds_[i].strips.size(); ++s) write(layout.strips[i][s], ifds_[i].strips[s].bytes);
    }
    if (layoutOut) *layoutOut = std::move(layout);
    return file;
}
