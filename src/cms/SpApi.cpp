// The exported Sp names of the library.
#include "ORVEXCMS.h"
#include "SpCalls.h"

using orvexcms::SpCalls;

extern "C" {

SpStatus SpInitialize(SpInstance* instance, void*, void*) { return SpCalls::initialize(instance); }
SpStatus SpTerminate(SpInstance* instance) { return SpCalls::terminate(instance); }
SpStatus SpInitThread(SpInstance instance, void*, void*) { return SpCalls::initThread(instance); }
SpStatus SpTermThread(SpInstance instance) { return SpCalls::termThread(instance); }
SpStatus SpGetErrorText(SpStatus status, int32_t bufferSize, char* buffer) {
    return SpCalls::getErrorText(status, buffer, bufferSize);
}

SpStatus SpProfileGetDefaultDB(int32_t entryCount, int32_t nameSize, ProfileDirectoryEntry* entries) {
    return SpCalls::getDefaultDB(entryCount, nameSize, entries);
}
SpStatus SpProfileSearch(SpInstance instance, const ProfileDataBaseList* dataBase, const ProfileSearchList* criteria,
                         SpProfile* profiles, int32_t maxProfiles, int32_t* found) {
    return SpCalls::search(instance, dataBase, criteria, profiles, maxProfiles, found);
}

SpStatus SpProfileLoadProfile(SpInstance instance, const char* path, const SpFileProps*, SpProfile* profile) {
    return SpCalls::loadProfile(instance, path, profile);
}
SpStatus SpProfileLoadFromBuffer(SpInstance instance, const void* bytes, uint32_t byteCount, SpProfile* profile) {
    return SpCalls::loadFromBuffer(instance, bytes, byteCount, profile);
}
SpStatus SpProfileLoadHeader(const char* path, const SpFileProps*, SpHeader* header) {
    return SpCalls::loadHeader(path, header);
}
SpStatus SpProfileFree(SpProfile* profile) { return SpCalls::freeProfile(profile); }
SpStatus SpProfileGetProfileSize(SpProfile profile, uint32_t* size) { return SpCalls::profileSize(profile, size); }
SpStatus SpProfileSaveToBuffer(SpProfile profile, uint8_t** buffer, uint32_t* size) {
    return SpCalls::saveToBuffer(profile, buffer, size);
}
SpStatus SpProfileGetHeader(SpProfile profile, SpHeader* header) { return SpCalls::header(profile, header); }

SpStatus SpTagExists(SpProfile profile, uint32_t signature, int32_t* exists) {
    return SpCalls::tagExists(profile, signature, exists);
}
SpStatus SpTagGetById(SpProfile profile, uint32_t signature, SpTagValue* value) {
    return SpCalls::tagGet(profile, signature, value);
}
SpStatus SpTagFree(SpTagValue* value) { return SpCalls::tagFree(value); }

SpStatus SpXformGet(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform) {
    return SpCalls::xformGet(profile, renderMode, kind, xform);
}
SpStatus SpXformFree(SpXform* xform) { return SpCalls::xformFree(xform); }
SpStatus SpXformGetChannels(SpXform xform, int32_t* inChannels, int32_t* outChannels) {
    return SpCalls::xformChannels(xform, inChannels, outChannels);
}
SpStatus SpCombineXforms(int32_t count, const SpXform* xforms, SpXform* result, int32_t* failedIndex, void*, void*) {
    return SpCalls::combine(count, xforms, result, failedIndex);
}
SpStatus SpEvaluate(SpXform xform, const SpPixelLayout* source, const SpPixelLayout* destination, void*, void*) {
    return SpCalls::evaluate(xform, source, destination);
}

} // extern "C"
