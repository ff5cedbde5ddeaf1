#pragma once
// The shell's menu logic over a wx menu whose items carry the toolkit's
// ids (WxCommandId.h): commands are mapped on the way in.
#include "WxCommandId.h"
#include "WxMenuSeam.h"

class MappedMenuSeam : public MenuSeam {
public:
    explicit MappedMenuSeam(WxMenuSeam& menu) : menu_(menu) {}
    void Enable(int command, bool enable) override { menu_.Enable(ToWxId(command), enable); }
    void Check(int command, bool check) override { menu_.Check(ToWxId(command), check); }
    void SetLabel(int command, const std::string& label) override { menu_.SetLabel(ToWxId(command), label); }
    int FindSubmenuStartingWith(int firstCommand) override {
        return menu_.FindSubmenuStartingWith(ToWxId(firstCommand));
    }
    void ClearSubmenu(int position) override { menu_.ClearSubmenu(position); }
    void AppendToSubmenu(int position, int command, const std::string& label, bool checked) override {
        menu_.AppendToSubmenu(position, ToWxId(command), label, checked);
    }
    void EnableEntry(int position, bool enable) override { menu_.EnableEntry(position, enable); }

private:
    WxMenuSeam& menu_;
};
