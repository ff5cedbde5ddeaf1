#include "SpCalls.h"

#include "CmsLibrary.h"
#include "IccProfile.h"
#include "ProfileDataBase.h"
#include "SpTransform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace orvexcms {

namespace {

const char* statusText(SpStatus s) {
    switch (s) {
    case SpStatSuccess: return "The operation succeeded.";
    case SpStatBadArgument: return "An argument is missing or out of range.";
    case SpStatBadInstance: return "The library instance is not open.";
    case SpStatBadProfile: return "The profile handle is not valid.";
    case SpStatBadXform: return "The transform handle is not valid.";
    case SpStatFileNotFound: return "The file could not be opened.";
    case SpStatReadFailed: return "The file could not be read.";
    case SpStatNotAProfile: return "The data are not a valid ICC profile.";
    case SpStatNoMemory: return "Not enough memory.";
    case SpStatBufferTooSmall: return "The buffer is too small.";
    case SpStatTagNotFound: return "The profile has no such tag.";
    case SpStatNoDefaultDB: return "The system profile folder does not exist.";
    case SpStatBadCriterion: return "A search criterion is not known.";
    case SpStatXformFailed: return "The profile cannot give the requested transform.";
    case SpStatCombineFailed: return "The transforms cannot be combined.";
    case SpStatLayoutMismatch: return "The pixel layouts do not fit the transform.";
    case SpStatBadSampleType: return "The sample type is not supported.";
    case SpStatEvaluateFailed: return "The pixels could not be converted.";
    case SpStatBadRenderMode: return "The rendering mode is not supported.";
    case SpStatPathTooLong: return "The path is too long.";
    case SpStatTagUnreadable: return "The tag's contents are not valid.";
    case SpStatBadDirectory: return "A profile folder cannot be read.";
    default: return nullptr;
    }
}

std::shared_ptr<const IccProfile> profileOf(SpProfile h) { return CmsLibrary::instance().profiles.get(h); }
std::shared_ptr<SpTransform> xformOf(SpXform h) { return CmsLibrary::instance().transforms.get(h); }

} // namespace

SpStatus SpCalls::initialize(SpInstance* instance) {
    if (!instance) return SpStatBadArgument;
    *instance = CmsLibrary::instance().openInstance();
    return SpStatSuccess;
}

SpStatus SpCalls::terminate(SpInstance* instance) {
    if (!instance) return SpStatBadArgument;
    if (!CmsLibrary::instance().closeInstance(*instance)) return SpStatBadInstance;
    *instance = 0;
    return SpStatSuccess;
}

SpStatus SpCalls::initThread(SpInstance instance) {
    return CmsLibrary::instance().attachThread(instance) ? SpStatSuccess : SpStatBadInstance;
}

SpStatus SpCalls::termThread(SpInstance instance) {
    return CmsLibrary::instance().detachThread(instance) ? SpStatSuccess : SpStatBadInstance;
}

SpStatus SpCalls::getErrorText(SpStatus status, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return SpStatBadArgument;
    std::string text;
    if (const char* t = statusText(status))
        text = t;
    else
        text = "Unknown status " + std::to_string(status) + ".";
    const size_t room = size_t(size) - 1;
    const size_t n = text.size() < room ? text.size() : room;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return n == text.size() ? SpStatSuccess : SpStatBufferTooSmall;
}

SpStatus SpCalls::getDefaultDB(int32_t entryCount, int32_t nameSize, ProfileDirectoryEntry* entries) {
    if (entryCount < 1 || nameSize <= 0 || !entries || !entries[0].directoryName) return SpStatBadArgument;
    const std::string dir = ProfileDataBase::defaultDirectory();
    if (dir.size() + 1 > size_t(nameSize)) return SpStatPathTooLong;
    std::memcpy(entries[0].directoryName, dir.c_str(), dir.size() + 1);
    entries[0].fileProps = SpFileProps{};
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return SpStatNoDefaultDB;
    return SpStatSuccess;
}

SpStatus SpCalls::search(SpInstance instance, const ProfileDataBaseList* dataBase,
                         const ProfileSearchList* criteria, SpProfile* profiles, int32_t maxProfiles,
                         int32_t* found) {
    if (!found) return SpStatBadArgument;
    *found = 0;
    if (!dataBase || !criteria) return SpStatBadArgument;
    return ProfileDataBase::search(instance, *dataBase, *criteria, profiles, maxProfiles, *found);
}

SpStatus SpCalls::loadProfile(SpInstance instance, const char* path, SpProfile* profile) {
    if (!profile) return SpStatBadArgument;
    *profile = 0;
    if (!CmsLibrary::instance().isInstance(instance)) return SpStatBadInstance;
    std::shared_ptr<const IccProfile> p;
    if (SpStatus s = IccProfile::fromFile(path, p); s) return s;
    *profile = CmsLibrary::instance().profiles.add(std::move(p));
    return SpStatSuccess;
}

SpStatus SpCalls::loadFromBuffer(SpInstance instance, const void* bytes, uint32_t byteCount, SpProfile* profile) {
    if (!profile) return SpStatBadArgument;
    *profile = 0;
    if (!CmsLibrary::instance().isInstance(instance)) return SpStatBadInstance;
    if (!bytes) return SpStatBadArgument;
    const auto* b = static_cast<const uint8_t*>(bytes);
    std::shared_ptr<const IccProfile> p;
    if (SpStatus s = IccProfile::fromBytes(std::vector<uint8_t>(b, b + byteCount), true, p); s) return s;
    *profile = CmsLibrary::instance().profiles.add(std::move(p));
    return SpStatSuccess;
}

SpStatus SpCalls::loadHeader(const char* path, SpHeader* header) {
    if (!header) return SpStatBadArgument;
    return IccProfile::headerOfFile(path, *header);
}

SpStatus SpCalls::freeProfile(SpProfile* profile) {
    if (!profile) return SpStatBadArgument;
    if (!CmsLibrary::instance().profiles.remove(*profile)) return SpStatBadProfile;
    *profile = 0;
    return SpStatSuccess;
}

SpStatus SpCalls::profileSize(SpProfile profile, uint32_t* size) {
    if (!size) return SpStatBadArgument;
    *size = 0;
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    *size = uint32_t(p->bytes().size());
    return SpStatSuccess;
}

SpStatus SpCalls::saveToBuffer(SpProfile profile, uint8_t** buffer, uint32_t* size) {
    if (!buffer || !size) return SpStatBadArgument;
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    const auto& bytes = p->bytes();
    if (*size < bytes.size()) {
        *size = uint32_t(bytes.size());
        return SpStatBufferTooSmall;
    }
    if (!*buffer) return SpStatBadArgument;
    std::memcpy(*buffer, bytes.data(), bytes.size());
    *buffer += bytes.size();
    *size = uint32_t(bytes.size());
    return SpStatSuccess;
}

SpStatus SpCalls::header(SpProfile profile, SpHeader* header) {
    if (!header) return SpStatBadArgument;
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    *header = p->header();
    return SpStatSuccess;
}

SpStatus SpCalls::tagExists(SpProfile profile, uint32_t signature, int32_t* exists) {
    if (!exists) return SpStatBadArgument;
    *exists = 0;
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    *exists = p->hasTag(signature) ? 1 : 0;
    return SpStatSuccess;
}

SpStatus SpCalls::tagGet(SpProfile profile, uint32_t signature, SpTagValue* value) {
    if (!value) return SpStatBadArgument;
    *value = SpTagValue{};
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    return p->readTag(signature, *value);
}

SpStatus SpCalls::tagFree(SpTagValue* value) {
    if (!value) return SpStatBadArgument;
    std::free(value->text);
    std::free(value->data);
    *value = SpTagValue{};
    return SpStatSuccess;
}

SpStatus SpCalls::xformGet(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform) {
    if (!xform) return SpStatBadArgument;
    *xform = 0;
    auto p = profileOf(profile);
    if (!p) return SpStatBadProfile;
    std::shared_ptr<SpTransform> t;
    if (SpStatus s = SpTransform::fromProfile(std::move(p), renderMode, kind, t); s) return s;
    *xform = CmsLibrary::instance().transforms.add(std::move(t));
    return SpStatSuccess;
}

SpStatus SpCalls::xformFree(SpXform* xform) {
    if (!xform) return SpStatBadArgument;
    if (!CmsLibrary::instance().transforms.remove(*xform)) return SpStatBadXform;
    *xform = 0;
    return SpStatSuccess;
}

SpStatus SpCalls::xformChannels(SpXform xform, int32_t* inChannels, int32_t* outChannels) {
    if (!inChannels || !outChannels) return SpStatBadArgument;
    *inChannels = *outChannels = 0;
    auto t = xformOf(xform);
    if (!t) return SpStatBadXform;
    *inChannels = t->inputChannels();
    *outChannels = t->outputChannels();
    return SpStatSuccess;
}

SpStatus SpCalls::combine(int32_t count, const SpXform* xforms, SpXform* result, int32_t* failedIndex) {
    if (!result) return SpStatBadArgument;
    *result = 0;
    int32_t failed = 0;
    SpStatus status = SpStatSuccess;
    if (count <= 0 || !xforms) {
        status = SpStatBadArgument;
    } else {
        std::vector<std::shared_ptr<SpTransform>> parts;
        for (int32_t i = 0; i < count && !status; ++i) {
            parts.push_back(xformOf(xforms[i]));
            if (!parts.back()) {
                failed = i;
                status = SpStatBadXform;
            }
        }
        std::shared_ptr<SpTransform> t;
        if (!status) status = SpTransform::combine(parts, t, failed);
        if (!status) *result = CmsLibrary::instance().transforms.add(std::move(t));
    }
    if (failedIndex) *failedIndex = status ? failed : 0;
    return status;
}

SpStatus SpCalls::evaluate(SpXform xform, const SpPixelLayout* source, const SpPixelLayout* destination) {
    if (!source || !destination) return SpStatBadArgument;
    auto t = xformOf(xform);
    if (!t) return SpStatBadXform;
    return t->evaluate(*source, *destination);
}

} // namespace orvexcms
