#pragma once
// The library's Sp calls as C++ functions. The exported C names forward here,
// and so does the OrvexCMSC module, whose entry points carry the same names
// with partly other argument orders and so cannot call the C names.
#include "ORVEXCMS.h"

namespace orvexcms {

class ORVEXCMS_API SpCalls {
public:
    static SpStatus initialize(SpInstance* instance);
    static SpStatus terminate(SpInstance* instance);
    static SpStatus initThread(SpInstance instance);
    static SpStatus termThread(SpInstance instance);
    static SpStatus getErrorText(SpStatus status, char* buffer, int32_t bufferSize);

    static SpStatus getDefaultDB(int32_t entryCount, int32_t nameSize, ProfileDirectoryEntry* entries);
    static SpStatus search(SpInstance instance, const ProfileDataBaseList* dataBase,
                           const ProfileSearchList* criteria, SpProfile* profiles, int32_t maxProfiles,
                           int32_t* found);

    static SpStatus loadProfile(SpInstance instance, const char* path, SpProfile* profile);
    static SpStatus loadFromBuffer(SpInstance instance, const void* bytes, uint32_t byteCount,
                                   SpProfile* profile);
    static SpStatus loadHeader(const char* path, SpHeader* header);
    static SpStatus freeProfile(SpProfile* profile);
    static SpStatus profileSize(SpProfile profile, uint32_t* size);
    static SpStatus saveToBuffer(SpProfile profile, uint8_t** buffer, uint32_t* size);
    static SpStatus header(SpProfile profile, SpHeader* header);

    static SpStatus tagExists(SpProfile profile, uint32_t signature, int32_t* exists);
    static SpStatus tagGet(SpProfile profile, uint32_t signature, SpTagValue* value);
    static SpStatus tagFree(SpTagValue* value);

    static SpStatus xformGet(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform);
    static SpStatus xformFree(SpXform* xform);
    static SpStatus xformChannels(SpXform xform, int32_t* inChannels, int32_t* outChannels);
    static SpStatus combine(int32_t count, const SpXform* xforms, SpXform* result, int32_t* failedIndex);
    static SpStatus evaluate(SpXform xform, const SpPixelLayout* source, const SpPixelLayout* destination);
};

} // namespace orvexcms
