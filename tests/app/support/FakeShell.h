#pragma once
// Stand-ins for the shell's seams: a settings store in memory that records
// every write, a fixed display, a dialog made of a table of controls, and
// message boxes that record what they would show.
#include "DialogView.h"
#include "DisplayGeometry.h"
#include "MessageBoxService.h"
#include "ProfileStore.h"
#include "ProgramLauncher.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

class FakeProfileStore : public ProfileStore {
public:
    using Key = std::pair<std::string, std::string>;
    FakeProfileStore() { ProfileStore::SetCurrent(this); }
    ~FakeProfileStore() override { ProfileStore::SetCurrent(nullptr); }

    int GetInt(const std::string& section, const std::string& name, int defaultValue) override {
        reads.push_back({section, name});
        auto it = values.find({section, name});
        if (it == values.end()) return defaultValue;
        try {
            size_t used = 0;
            const long long v = std::stoll(it->second, &used);
            if (used != it->second.size() || v < INT32_MIN || v > INT32_MAX) return defaultValue;
            return int(v);
        } catch (...) {
            return defaultValue;
        }
    }
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& defaultValue) override {
        reads.push_back({section, name});
        auto it = values.find({section, name});
        return it == values.end() ? defaultValue : it->second;
    }
    bool WriteInt(const std::string& section, const std::string& name, int value) override {
        writes.push_back({section, name});
        values[{section, name}] = std::to_string(value);
        return true;
    }
    bool WriteString(const std::string& section, const std::string& name, const std::string& value) override {
        writes.push_back({section, name});
        values[{section, name}] = value;
        return true;
    }

    void Set(const std::string& name, const std::string& value) { values[{"Last Used", name}] = value; }
    bool Has(const std::string& name) const { return values.count({"Last Used", name}) != 0; }
    std::string Value(const std::string& name) const {
        auto it = values.find({"Last Used", name});
        return it == values.end() ? std::string("<absent>") : it->second;
    }

    std::map<Key, std::string> values;
    std::vector<Key> reads;
    std::vector<Key> writes;
};

class FakeDisplay : public DisplayGeometry {
public:
    FakeDisplay(IntRect screen, IntRect work) : screen_(screen), work_(work) { DisplayGeometry::SetCurrent(this); }
    ~FakeDisplay() override { DisplayGeometry::SetCurrent(nullptr); }
    IntRect PrimaryScreen() override { return screen_; }
    IntRect PrimaryWorkArea() override { return work_; }

private:
    IntRect screen_, work_;
};

class FakeMessageBoxes : public MessageBoxService {
public:
    FakeMessageBoxes() { MessageBoxService::SetCurrent(this); }
    ~FakeMessageBoxes() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons) override {
        shown.push_back(text);
        return kAnswerOk;
    }
    std::vector<std::string> shown;
};

class FakeLauncher : public ProgramLauncher {
public:
    explicit FakeLauncher(std::string answer) : answer_(std::move(answer)) { ProgramLauncher::SetCurrent(this); }
    ~FakeLauncher() override { ProgramLauncher::SetCurrent(nullptr); }
    std::string DefaultApplicationFor(const std::string& mimeType) override {
        asked.push_back(mimeType);
        return answer_;
    }
    std::vector<std::string> asked;

private:
    std::string answer_;
};

class FakeDialogView : public DialogView {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool shown = true;
        int check = 0;
        std::vector<std::string> list;
        int selection = -1;
    };
    std::string GetItemText(int id) override { return controls[id].text; }
    void SetItemText(int id, const std::string& text) override { controls[id].text = text; }
    void EnableItem(int id, bool enable) override { controls[id].enabled = enable; }
    bool IsItemEnabled(int id) override { return controls[id].enabled; }
    void ShowItem(int id, bool show) override { controls[id].shown = show; }
    int GetCheck(int id) override { return controls[id].check; }
    void SetCheck(int id, int check) override { controls[id].check = check; }
    void FocusItem(int id) override { focus = id; }
    void SetCaption(const std::string& text) override { caption = text; }
    void ClearList(int id) override {
        controls[id].list.clear();
        controls[id].selection = -1;
    }
    void AddListItem(int id, const std::string& text) override { controls[id].list.push_back(text); }
    int GetListSelection(int id) override { return controls[id].selection; }
    void SetListSelection(int id, int index) override {
        Control& c = controls[id];
        c.selection = index >= 0 && index < int(c.list.size()) ? index : -1;
    }
    std::string GetListItemText(int id, int index) override { return controls[id].list.at(size_t(index)); }
    int GetListCount(int id) override { return int(controls[id].list.size()); }
    void EndAsCancel() override { ended = true; }

    std::map<int, Control> controls;
    std::string caption;
    int focus = 0;
    bool ended = false;
};
