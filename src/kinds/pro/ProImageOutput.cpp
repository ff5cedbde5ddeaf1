// What a raw image of the newest models gives for files made from it: the
// exporters, the tables of a JPEG export and the camera's white-balance file.
#include "ProImage.h"

#include "ExportOutputFile.h"
#include "File.h"
#include "JpegQualityPreset.h"
#include "MakeExportImage.h"
#include "NbErrorCodes.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"

#include <cctype>
#include <string>
#include <vector>

namespace NimbalCore {

namespace {

// The driver's bytes of a white-balance file for the image's current balance.
constexpr int32_t kWhiteBalanceFileAttribute = 1845;
// The camera reads "NAME.WB" with a name of up to eight characters.
constexpr size_t kWhiteBalanceNameMax = 8;

bool IsWhiteBalanceFileName(const std::string& fileName) {
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot > kWhiteBalanceNameMax || fileName.size() - dot != 3) return false;
    return std::toupper(static_cast<unsigned char>(fileName[dot + 1])) == 'W' &&
           std::toupper(static_cast<unsigned char>(fileName[dot + 2])) == 'B';
}

} // namespace

ExportImage* ProImage::CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                         ExportImageArray* array, int32_t) {
    return MakeExportImage(fileKind, rendering, target, array);
}

bool ProImage::GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) {
    if (GetCameraJPEGQuantizationTables(chroma, qualityCode, sizeCode, table, quality)) return true;
    return GetJpegQuantTable(JpegQualityPreset::kGenericCamera, chroma, qualityCode, sizeCode, table, quality);
}

void ProImage::WriteWhiteBalanceFile(const FilePathSpec& path) {
    static const char* const op = "ProImage::WriteWhiteBalanceFile";
    if (!IsWhiteBalanceFileName(path.GetFileName())) YLM_THROW(op, NbErrBadFileExtension);
    StImageClosableFlagRestorer closable(this);
    SetClosable(false);
    if (const int opened = EnsureOpen()) YLM_THROW(op, opened);
    int reason = 0;
    if (!CanWhiteBalanceFileBeSaved(&reason)) YLM_THROW(op, NbErrWhiteBalanceUnavailable);

    std::vector<uint8_t> bytes;
    if (ReadBlock(kWhiteBalanceFileAttribute, bytes) != 0 || bytes.empty())
        YLM_THROW(op, NbErrWhiteBalanceFileFailed);
    // The bytes go to a new file beside the target, which replaces the
    // target only once it is complete and closed: a write that fails part
    // of the way leaves the camera's existing file as it was.
    try {
        ExportOutputFile output(path);
        output.CheckWritable(op);
        File file(output.Create(op));
        file.Open(File::WriteUpdateBinary);
        file.Write(bytes.data(), 1, bytes.size());
        file.Close();
        output.Commit(op);
    } catch (const YlmErrp&) {
        YLM_THROW(op, NbErrWhiteBalanceFileFailed);
    }
}

} // namespace NimbalCore
