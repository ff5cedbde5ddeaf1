#pragma once
// The system's profile folder and searches over profile folders by header
// fields. Only the 128-byte header of each file is read to decide; matching
// files are then loaded whole.
#include "ORVEXCMS.h"

#include <string>
#include <vector>

namespace orvexcms {

class ProfileDataBase {
public:
    // LUMORA_SYSTEM_DIR, else <program>/../share/lumora/system, followed by
    // spool/drivers/color.
    static std::string defaultDirectory();

    static SpStatus search(SpInstance instance, const ProfileDataBaseList& dataBase,
                           const ProfileSearchList& criteria, SpProfile* profiles, int32_t maxProfiles,
                           int32_t& found);

    // True when the header meets every criterion; false with status set for
    // a criterion of unknown code.
    static bool matches(const SpHeader& header, const ProfileSearchList& criteria, SpStatus& status);
};

} // namespace orvexcms
