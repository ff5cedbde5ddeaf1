#pragma once
// The only way the program reads and writes its numbered settings: made on
// the stack, asked for an item by number, destroyed. Each item has one kind;
// an accessor of another kind does nothing for it, and no accessor reports
// an error: a missing or unreadable value gives the item's default.
#include "ExportSizeOptions.h"
#include "IntRect.h"
#include "ProfileItem.h"

#include <string>

class ProfileItemManager {
public:
    // What a read of the working-space name gives when the stored name is
    // empty or names no registered profile.
    static constexpr const char* kDefaultWorkingSpace = "ORVEX sRGB Display";

    ProfileItemManager() = default;
    virtual ~ProfileItemManager() = default;

    // The section and the item's value name; item 18 and numbers outside
    // 0..68 leave both unchanged.
    void KeyOfItem(int item, std::string& section, std::string& valueName) const;

    void GetString(int item, std::string& out) const;
    void GetInt(int item, int& out) const;
    void GetRect(int item, IntRect& out) const;
    // Leaves out unchanged when the value is absent or does not read as a
    // number.
    void GetDouble(int item, double& out) const;

    void SetString(int item, const std::string& text) const;
    void SetInt(int item, int value) const;
    void SetRect(int item, int left, int top, int right, int bottom) const;
    void SetDouble(int item, double value) const;

    void GetExportSizeSettings(NimbalCore::ExportSizeOptions& out) const;
    void SetExportSizeSettings(const NimbalCore::ExportSizeOptions& options) const;
};
