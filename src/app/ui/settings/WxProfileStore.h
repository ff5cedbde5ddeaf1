#pragma once
// The settings file: one group per section, integers as decimal text,
// everything written in the C locale. Every write reaches the file at once
// through a temporary file renamed over it; values the program does not know
// stay in the file as they were.
#include "ProfileStore.h"

#include <filesystem>
#include <memory>

class wxFileConfig;

class WxProfileStore : public ProfileStore {
public:
    // Reads the file (a missing or unreadable file gives an empty store).
    explicit WxProfileStore(const std::filesystem::path& file);
    ~WxProfileStore() override;

    int GetInt(const std::string& section, const std::string& name, int defaultValue) override;
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& defaultValue) override;
    bool WriteInt(const std::string& section, const std::string& name, int value) override;
    bool WriteString(const std::string& section, const std::string& name, const std::string& value) override;

    const std::filesystem::path& File() const { return file_; }

    // The file's text as it is written: section and value names keep their
    // spaces (the configuration writer escapes them).
    static std::string UnescapeNames(const std::string& text);

private:
    bool Save();

    std::filesystem::path file_;
    std::unique_ptr<wxFileConfig> config_;
};
