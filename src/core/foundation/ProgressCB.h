#pragma once
// Progress of one long operation: a percent in, false to ask for a cancel.

namespace NimbalCore {

class ProgressCB {
public:
    virtual ~ProgressCB() = default;
    virtual bool Progress(int percent) = 0;
};

} // namespace NimbalCore
