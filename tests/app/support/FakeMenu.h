#pragma once
// A menu made of command items and submenus, recording each item's state.
#include "MenuSeam.h"

#include <map>
#include <string>
#include <vector>

class FakeMenu : public MenuSeam {
public:
    struct Item {
        bool enabled = true;
        bool checked = false;
        std::string label;
    };
    struct Entry {
        int command = 0;                 // 0 for a submenu entry
        bool enabled = true;
        std::vector<int> submenu;        // commands of the submenu, in order
    };

    // The popup's items (commands found anywhere) and its entries.
    explicit FakeMenu(const std::vector<Entry>& entries) : entries(entries) {
        for (const Entry& e : entries) {
            if (e.command) items[e.command];
            for (int c : e.submenu) items[c];
        }
    }

    void Enable(int command, bool enable) override {
        if (auto it = items.find(command); it != items.end()) it->second.enabled = enable;
    }
    void Check(int command, bool check) override {
        if (auto it = items.find(command); it != items.end()) it->second.checked = check;
    }
    void SetLabel(int command, const std::string& label) override {
        if (auto it = items.find(command); it != items.end()) it->second.label = label;
    }
    int FindSubmenuStartingWith(int firstCommand) override {
        for (size_t i = 0; i < entries.size(); ++i)
            if (!entries[i].submenu.empty() && entries[i].submenu.front() == firstCommand) return int(i);
        return -1;
    }
    void ClearSubmenu(int position) override {
        for (int c : entries[size_t(position)].submenu) items.erase(c);
        entries[size_t(position)].submenu.clear();
    }
    void AppendToSubmenu(int position, int command, const std::string& label, bool checked) override {
        entries[size_t(position)].submenu.push_back(command);
        items[command] = {true, checked, label};
    }
    void EnableEntry(int position, bool enable) override { entries[size_t(position)].enabled = enable; }

    bool Has(int command) const { return items.count(command) != 0; }
    const Item& At(int command) const { return items.at(command); }

    std::vector<Entry> entries;
    std::map<int, Item> items;
};
