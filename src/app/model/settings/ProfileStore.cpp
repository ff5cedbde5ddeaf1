#include "ProfileStore.h"

namespace {

// Answers every read with its default and keeps no write.
class NoProfileStore final : public ProfileStore {
public:
    int GetInt(const std::string&, const std::string&, int defaultValue) override { return defaultValue; }
    std::string GetString(const std::string&, const std::string&, const std::string& defaultValue) override {
        return defaultValue;
    }
    bool WriteInt(const std::string&, const std::string&, int) override { return false; }
    bool WriteString(const std::string&, const std::string&, const std::string&) override { return false; }
};

NoProfileStore gNoStore;
ProfileStore* gStore = nullptr;

} // namespace

ProfileStore& ProfileStore::Current() { return gStore ? *gStore : gNoStore; }

void ProfileStore::SetCurrent(ProfileStore* store) { gStore = store; }
