#include "ProfileDataBase.h"

#include "CmsLibrary.h"
#include "IccProfile.h"

#include <Locations.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace orvexcms {

std::string ProfileDataBase::defaultDirectory() { return lumora::Locations::ColorDir().string(); }

bool ProfileDataBase::matches(const SpHeader& h, const ProfileSearchList& list, SpStatus& status) {
    status = SpStatSuccess;
    for (int32_t i = 0; i < list.count; ++i) {
        const ProfileSearchCriterion& c = list.criteria[i];
        uint32_t field;
        switch (c.code) {
        case SpSearchDeviceClass: field = h.deviceClass; break;
        case SpSearchDataColorSpace: field = h.dataColorSpace; break;
        case SpSearchConnectionSpace: field = h.connectionSpace; break;
        case SpSearchPreferredCMM: field = h.preferredCMM; break;
        case SpSearchDeviceManufacturer: field = h.deviceManufacturer; break;
        default: status = SpStatBadCriterion; return false;
        }
        if (field != c.value) return false;
    }
    return true;
}

SpStatus ProfileDataBase::search(SpInstance instance, const ProfileDataBaseList& db,
                                 const ProfileSearchList& criteria, SpProfile* profiles, int32_t maxProfiles,
                                 int32_t& found) {
    found = 0;
    auto& lib = CmsLibrary::instance();
    if (!lib.isInstance(instance)) return SpStatBadInstance;
    if (db.count < 0 || (db.count > 0 && !db.entries) || criteria.count < 0 ||
        (criteria.count > 0 && !criteria.criteria) || maxProfiles < 0 || (maxProfiles > 0 && !profiles))
        return SpStatBadArgument;
    // Unknown codes are refused before any file is looked at.
    SpStatus status = SpStatSuccess;
    for (int32_t i = 0; i < criteria.count && status == SpStatSuccess; ++i) {
        const uint32_t code = criteria.criteria[i].code;
        if (code != SpSearchDeviceClass && code != SpSearchDataColorSpace && code != SpSearchConnectionSpace &&
            code != SpSearchPreferredCMM && code != SpSearchDeviceManufacturer)
            status = SpStatBadCriterion;
    }
    if (status) return status;

    for (int32_t d = 0; d < db.count && found < maxProfiles; ++d) {
        const char* dir = db.entries[d].directoryName;
        if (!dir) return SpStatBadArgument;
        DIR* dp = opendir(dir);
        if (!dp) {
            if (errno == ENOENT) continue; // a folder not made yet holds no profiles
            return SpStatBadDirectory;
        }
        std::vector<std::string> names;
        while (dirent* e = readdir(dp)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dp);
        std::sort(names.begin(), names.end());
        std::string base = dir;
        if (!base.empty() && base.back() != '/') base += '/';
        for (const auto& name : names) {
            if (found >= maxProfiles) break;
            const std::string path = base + name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            SpHeader header;
            if (IccProfile::headerOfFile(path.c_str(), header)) continue;
            if (!matches(header, criteria, status)) continue;
            std::shared_ptr<const IccProfile> profile;
            if (IccProfile::fromFile(path.c_str(), profile)) continue; // unreadable files are not profiles
            profiles[found++] = lib.profiles.add(std::move(profile));
        }
    }
    return SpStatSuccess;
}

} // namespace orvexcms
