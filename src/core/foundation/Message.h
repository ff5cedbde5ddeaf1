#pragma once
// A piece of work posted to a worker Thread: it runs there, in posting order,
// and is deleted there. The sender owns it until Post succeeds.
#include "YlmRefPtr.h"

#include <cstdint>

namespace NimbalCore {

class Thread;

class Message {
public:
    Message() = default;
    virtual ~Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    // Runs on the worker; a non-zero answer ends the worker's loop.
    virtual int Execute() = 0;

    // Posts this message to the thread (0 or 2400, see Thread::Post).
    int Post(YlmRefPtr<Thread> thread);

    uint32_t senderThreadId = 0;
    // 0: the receiving Thread's own worker.
    uint32_t targetThreadId = 0;
};

} // namespace NimbalCore
