#pragma once
// How this process meets the other instances: the single-instance lock in
// the runtime folder and a wxClient connection on the automation socket.
#include "InstanceTransport.h"

#include <memory>
#include <string>

class wxSingleInstanceChecker;

class WxInstanceTransport : public InstanceTransport {
public:
    WxInstanceTransport(std::string runtimeFolder, std::string socketPath);
    ~WxInstanceTransport() override;

    bool TryTakeLock() override;
    std::unique_ptr<InstanceConnection> Connect() override;
    void SleepMs(int milliseconds) override;

private:
    std::string runtimeFolder_;
    std::string socketPath_;
    std::unique_ptr<wxSingleInstanceChecker> lock_;
};
