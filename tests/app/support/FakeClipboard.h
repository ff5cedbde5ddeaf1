#pragma once
// A clipboard for tests, installed while it lives: holds what was put there
// under the same rules as the program's (a picture must be a readable
// packed DIB and comes back as 24 bits, a file list must not be empty);
// records each call; with locked set, it cannot be opened, as when another
// program holds it.
#include "Clipboard.h"
#include "PackedDib.h"

#include <string>
#include <vector>

class FakeClipboard : public Clipboard {
public:
    FakeClipboard() { Clipboard::SetCurrent(this); }
    ~FakeClipboard() override { Clipboard::SetCurrent(nullptr); }

    bool SetPicture(const std::vector<uint8_t>& packedDib) override {
        calls.push_back("picture");
        const auto picture = PackedDib::Decode(lumora::ByteView(packedDib.data(), packedDib.size()));
        if (locked || !picture) return false;
        picture_ = PackedDib::Encode(*picture);
        files_.clear();
        return true;
    }
    bool SetFiles(const std::vector<std::string>& paths) override {
        calls.push_back("files");
        if (locked || paths.empty()) return false;
        files_ = paths;
        picture_.clear();
        return true;
    }
    std::vector<uint8_t> GetPicture() override { return locked ? std::vector<uint8_t>() : picture_; }
    std::vector<std::string> GetFiles() override { return locked ? std::vector<std::string>() : files_; }

    std::vector<std::string> calls;
    bool locked = false;

private:
    std::vector<uint8_t> picture_;
    std::vector<std::string> files_;
};
