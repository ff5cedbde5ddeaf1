// ZynImage: the parameters and the metadata written back into the raw file,
// and the camera's white-balance file.
#include "ZynImage.h"

#include "NbErrorCodes.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"
#include "ZynVqIds.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

namespace NimbalCore {

namespace {

constexpr const char* kParamsOp = "ZynImage::WriteProcessParamsToFile";
constexpr const char* kMetaOp = "ZynImage::WriteAllMetaDataToFile";
constexpr const char* kCanBalanceOp = "ZynImage::CanWhiteBalanceFileBeSaved";
constexpr const char* kBalanceOp = "ZynImage::WriteWhiteBalanceFile";
// The look kind whose output is gray.
constexpr int32_t kGrayLookKind = 2;
// What CanWhiteBalanceFileBeSaved reports when the file can be written.
constexpr int kBalanceFileReason = 7;
// The interface's answer for a white-balance file name that is taken.
constexpr uint32_t kBalanceFileExists = 80;
// The camera reads "NAME.WB" with a name of up to eight characters.
constexpr size_t kBalanceNameMax = 8;
// Fresh names tried for the new white-balance file before giving up.
constexpr int kBalanceNameAttempts = 16;

void* Word(uint32_t value) { return reinterpret_cast<void*>(uintptr_t(value)); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool IsBalanceFileName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot > kBalanceNameMax || name.size() - dot != 3) return false;
    return std::tolower(static_cast<unsigned char>(name[dot + 1])) == 'w' &&
           std::tolower(static_cast<unsigned char>(name[dot + 2])) == 'b';
}

// A name in the target's folder that the camera interface writes as a
// white-balance file and that a folder listing hides: "." and six letters
// or digits, then ".wb".
std::string TemporaryBalanceName(const std::string& folder, std::mt19937& random) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = ".";
    for (int i = 0; i < 6; ++i) name += kChars[random() % (sizeof kChars - 1)];
    return (folder == "/" ? std::string() : folder) + "/" + name + ".wb";
}

bool ToPathRecord(const std::string& path, VqPathRecord& record) {
    std::memset(&record, 0, sizeof record);
    if (path.size() >= sizeof record.path) return false;
    std::memcpy(record.path, path.data(), path.size());
    return true;
}

} // namespace

void ZynImage::WriteProcessParamsToFile() {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kParamsOp, code);
    if (!CanSaveProcessParams()) YLM_THROW(kParamsOp, NbErrNotSupported);
    if (IsReadOnly()) YLM_THROW(kParamsOp, NbErrImageReadOnly);
    try {
        // One stretch of calls: no other thread's settings come between the
        // set sent and the block written.
        VqSection section(*this);
        const ImageProcessParam params = processParams_;
        SetProcessParamsInImageExceptWindow(params);
        // The file keeps the crop as the output window of the unturned image.
        SetRotation(0.0f);
        SetOutputWindow(params.crop);
        SetRotation(params.rotation);
        VqSetExtension(&info_, ZynExtSharpeningTriple, Word(uint32_t(params.sharpenAmount)),
                       uint32_t(params.sharpenRadius), uint32_t(params.sharpenThreshold), 0, 0);
        if (VqSetImageType(&info_, params.colorMode == kGrayLookKind ? VQ_TYPE_GRAY8 : VQ_TYPE_RGB8) != 0)
            YLM_THROW(kParamsOp, NbErrCameraSettingRefused);
        if (VqSaveProcessParameters(&info_) != 0) YLM_THROW(kParamsOp, NbErrAttributeWriteFailed);
        Touch();
    } catch (const YlmErrp&) {
        throw;
    } catch (...) {
        YLM_THROW(kParamsOp, NbErrSettingsBlockFailed);
    }
}

void ZynImage::WriteAllMetaDataToFile() {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kMetaOp, code);
    try {
        WriteProcessParamsToFile();
    } catch (const YlmErrp& e) {
        // A file kind without a settings block still takes the rest.
        if (e.GetCode() != NbErrNotSupported) throw;
    }
    try {
        VqSection section(*this);
        // An untagged image of a file without the flag has nothing to store.
        if (!(tagFlagAbsent_ && !tagged_) && VqSetExtension(&info_, ZynExtTag, Word(tagged_ ? 1u : 0u), 0, 0, 0, 0) != 0)
            YLM_THROW(kMetaOp, NbErrCameraSettingRefused);

        if (iptcChanged_) {
            union {
                uint32_t words[6];
                VqIptcRecord iptc;
            } current{};
            // A file whose block the interface keeps without writing holds
            // the record as changed, for a later save to try again.
            if (VqGetExtension(&info_, ZynExtIptc, &current) == 0 && (current.iptc.word & 1u) == 0) {
                const uint8_t* start = nullptr;
                uint32_t capacity = 0;
                if (iptcRecord_.GetBuffer(&start, &capacity) && start && capacity != 0) {
                    const VqIptcRecord record{iptcRecord_.GetLength(), start, 0};
                    if (VqSetExtension(&info_, ZynExtIptc, const_cast<VqIptcRecord*>(&record), 0, 0, 0, 0) != 0)
                        YLM_THROW(kMetaOp, NbErrCameraSettingRefused);
                }
                iptcChanged_ = false;
            }
        }

        if (VqSetImageDescription(&info_, uint32_t(annotationCapacity_), annotation_.get()) != 0)
            YLM_THROW(kMetaOp, NbErrMetadataWriteFailed);
        Touch();
    } catch (const YlmErrp&) {
        throw;
    } catch (...) {
        YLM_THROW(kMetaOp, NbErrSettingsBlockFailed);
    }
    if (IsModified()) {
        SetModified(false);
        NotifyImageChange(ImageChangeSaved);
    }
}

bool ZynImage::CanWhiteBalanceFileBeSaved(int* reason) {
    if (const int code = EnsureOpen()) YLM_THROW(kCanBalanceOp, code);
    try {
        SetProcessParamsInImageExceptWindow(processParams_);
    } catch (const YlmErrp&) {
        if (reason) *reason = 0;
        return false;
    }
    if (reason) *reason = kBalanceFileReason;
    return true;
}

void ZynImage::WriteWhiteBalanceFile(const FilePathSpec& path) {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kBalanceOp, code);
    int reason = 0;
    if (!CanWhiteBalanceFileBeSaved(&reason)) YLM_THROW(kBalanceOp, NbErrWhiteBalanceUnavailable);

    // The camera reads only its own names, which the interface checks on the
    // name it writes; the target is held to the same rule.
    const std::string target = path.GetPath();
    if (!IsBalanceFileName(path.GetFileName())) YLM_THROW(kBalanceOp, NbErrWhiteBalanceFileFailed);
    // The new file is written complete under a name of its own beside the
    // target and then takes the target's name: a failed write leaves the
    // camera's existing file as it was.
    const std::string folder = FolderOf(target);
    std::mt19937 random(std::random_device{}() ^ uint32_t(::getpid()));
    std::string temporary;
    uint32_t status = kBalanceFileExists;
    {
        VqSection section(*this);
        char empty[1] = {0};
        for (int attempt = 0; attempt < kBalanceNameAttempts && status == kBalanceFileExists; ++attempt) {
            temporary = TemporaryBalanceName(folder, random);
            VqPathRecord record;
            if (!ToPathRecord(temporary, record)) YLM_THROW(kBalanceOp, NbErrWhiteBalanceFileFailed);
            status = VqWriteWhiteBalanceFile(&info_, &record, empty);
        }
        Touch();
    }
    if (status != 0) {
        // The name was free before the call: whatever lies there now is a
        // piece of this write.
        if (status != kBalanceFileExists) std::remove(temporary.c_str());
        YLM_THROW(kBalanceOp, NbErrWhiteBalanceFileFailed);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        YLM_THROW(kBalanceOp, NbErrWhiteBalanceFileFailed);
    }
}

} // namespace NimbalCore
