#pragma once
// The toolkit's clipboard (the X11 CLIPBOARD selection): a picture goes as a
// bitmap, which other programs receive as an image, files as a file list.
// User-interface thread only.
#include "Clipboard.h"

class WxClipboard final : public Clipboard {
public:
    bool SetPicture(const std::vector<uint8_t>& packedDib) override;
    bool SetFiles(const std::vector<std::string>& paths) override;
    std::vector<uint8_t> GetPicture() override;
    std::vector<std::string> GetFiles() override;
};
