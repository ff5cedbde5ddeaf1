#pragma once
// The desktop's clipboard: a copied picture (a packed DIB, as the Copy
// commands make it) and lists of files (what a drag of slides offers the
// file manager). Setting either replaces what the clipboard held. The
// program uses the toolkit's clipboard; tests record what was put there.
#include <cstdint>
#include <string>
#include <vector>

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // False, with the clipboard as it was, when the bytes are not a picture
    // (PackedDib::Decode) or the clipboard cannot be opened.
    virtual bool SetPicture(const std::vector<uint8_t>& packedDib) = 0;
    // Full paths; false, with the clipboard as it was, for an empty list or
    // a clipboard that cannot be opened.
    virtual bool SetFiles(const std::vector<std::string>& paths) = 0;
    // The picture the clipboard holds as a 24-bit packed DIB; empty when it
    // holds none.
    virtual std::vector<uint8_t> GetPicture() = 0;
    // The files the clipboard holds; empty when it holds none.
    virtual std::vector<std::string> GetFiles() = 0;

    // The process-wide clipboard; until one is set, none: nothing can be
    // put there and it holds nothing.
    static Clipboard& Current();
    static void SetCurrent(Clipboard* clipboard);
};
