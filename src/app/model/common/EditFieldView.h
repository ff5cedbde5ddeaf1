#pragma once
// What a presenter does with a dialog's text fields beyond their texts: how
// many characters they take, and the numeric fields' values, set without
// telling the dialog, and shown valid (black) or invalid (red).
class EditFieldView {
public:
    virtual ~EditFieldView() = default;
    // 0 or less: no limit.
    virtual void SetTextLimit(int id, int characters) = 0;
    // The leading number of the field's text, 0 when there is none.
    virtual int GetNumber(int id) = 0;
    virtual void SetNumberQuietly(int id, int value) = 0;
    virtual void SetNumberValid(int id, bool valid) = 0;
};
