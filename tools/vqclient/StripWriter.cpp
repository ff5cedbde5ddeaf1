#include "StripWriter.h"

#include <algorithm>
#include <cstring>

bool StripWriter::Add(const uint8_t* data, size_t n) {
    if (rowBytes_ == 0) return true;
    if (!pending_.empty()) {
        const size_t take = std::min(n, rowBytes_ - pending_.size());
        pending_.insert(pending_.end(), data, data + take);
        data += take, n -= take;
        if (pending_.size() < rowBytes_) return true;
        if (!WriteRows(pending_.data(), 1)) return false;
        pending_.clear();
    }
    const size_t rows = n / rowBytes_;
    if (rows && !WriteRows(data, rows)) return false;
    pending_.assign(data + rows * rowBytes_, data + n);
    return true;
}

bool StripWriter::WriteRows(const uint8_t* src, size_t rows) {
    const size_t outRow = width_ * outChannels_ * bytes_;
    out_.resize(outRow * rows);
    uint8_t* to = out_.data();
    // Channels in their own order: the row is copied whole, 16-bit samples
    // turned to big-endian on the way.
    const bool inOrder = outChannels_ == channels_ &&
                         (outChannels_ == 1 || !order_ || (order_[0] == 0 && order_[1] == 1 && order_[2] == 2));
    for (size_t y = 0; y < rows; ++y, src += rowBytes_) {
        if (inOrder && bytes_ == 1) {
            std::memcpy(to, src, rowBytes_);
            to += rowBytes_;
            continue;
        }
        if (inOrder && bytes_ == 2) {
            for (size_t i = 0; i + 1 < rowBytes_; i += 2) {
                to[i] = src[i + 1];
                to[i + 1] = src[i];
            }
            to += rowBytes_;
            continue;
        }
        for (size_t x = 0; x < width_; ++x) {
            const uint8_t* pixel = src + x * channels_ * bytes_;
            for (size_t c = 0; c < outChannels_; ++c) {
                const size_t k = outChannels_ == 1 ? 0 : (order_ ? size_t(order_[c]) : c);
                const uint8_t* sample = pixel + k * bytes_;
                if (bytes_ == 1) {
                    *to++ = sample[0];
                } else {
                    *to++ = sample[1]; // little-endian in memory, big-endian in the file
                    *to++ = sample[0];
                }
            }
        }
    }
    rows_ += rows;
    ok_ = ok_ && std::fwrite(out_.data(), 1, out_.size(), f_) == out_.size();
    return ok_;
}
