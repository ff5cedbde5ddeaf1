#pragma once
// Where the numbered settings and the window placements are kept: values by
// section and value name, each an integer or a text, as the program's
// profile functions see them. The program installs the settings file's
// store at start-up; tests install a store of their own.
#include <string>

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The stored integer, or defaultValue when the value is absent or does
    // not read as a 32-bit integer.
    virtual int GetInt(const std::string& section, const std::string& name, int defaultValue) = 0;
    // The stored text, or defaultValue when the value is absent.
    virtual std::string GetString(const std::string& section, const std::string& name,
                                  const std::string& defaultValue) = 0;
    // Each write reaches the store before it returns; false when it did not.
    virtual bool WriteInt(const std::string& section, const std::string& name, int value) = 0;
    virtual bool WriteString(const std::string& section, const std::string& name, const std::string& value) = 0;

    // The process-wide store; a store that keeps nothing until one is set.
    static ProfileStore& Current();
    // Installs a store (null goes back to the one that keeps nothing); the
    // caller keeps ownership.
    static void SetCurrent(ProfileStore* store);
};
