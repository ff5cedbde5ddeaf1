#pragma once
// A window that can be disabled and enabled again: the owner a modeless
// dialog holds disabled, and the busy dialog.

class EnableTarget {
public:
    virtual ~EnableTarget() = default;
    virtual bool IsEnabled() const = 0;
    virtual void Enable(bool enable) = 0;
};
