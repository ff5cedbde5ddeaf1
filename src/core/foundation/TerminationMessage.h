#pragma once
// Ends a worker's loop once the messages posted before it have run. It holds
// the thread, so the thread object outlives it.
#include "Message.h"
#include "Thread.h"

namespace NimbalCore {

class TerminationMessage : public Message {
public:
    explicit TerminationMessage(Thread* thread) : thread_(thread) {}
    int Execute() override;

private:
    YlmRefPtr<Thread> thread_;
};

} // namespace NimbalCore
