// Bytes as a TIFF or JPEG source: collected with every flag, read back, and
// the entries laid out by the TIFF builder.
#include "Exif.h"
#include "TiffBuilder.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace NimbalCore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Exif exif;
    if (exif.ReadFromBytes(ByteView(data, size)) != 0) return 0;
    for (int flags : {0x01, 0x04, 0x08, 0x10, 0x20, 0x40}) {
        exif.ClearEntries();
        exif.CollectEntries(flags);
    }
    exif.ClearEntries();
    exif.CollectEntries(0x7F);
    (void)exif.IsGPSValid();
    (void)exif.ComputeApexValues();
    TiffBuilder builder(TiffBuilder::JpegExif);
    int id = 0;
    for (int kind : {int(Exif::KindIFD0), int(Exif::KindExif), int(Exif::KindGPS), 2}) {
        const std::vector<ExifEntry>* list = nullptr;
        exif.GetEntriesForIFD(kind, &list);
        builder.NewIFD(id++);
        for (const ExifEntry& e : *list) {
            std::string text;
            exif.GetString(e.tag, text);
            TiffEntry t{e.tag, e.type, e.count, e.data ? static_cast<const void*>(e.data) : &e.value};
            builder.AddEntry(&t);
        }
    }
    builder.Build();
    Exif back;
    back.ReadFromBytes(ByteView(static_cast<const uint8_t*>(builder.GetData()), uint64_t(builder.GetSize())));
    back.CollectEntries(0x7F);
    return 0;
}
