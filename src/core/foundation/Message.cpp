#include "Message.h"

#include "NbErrorCodes.h"
#include "Thread.h"

namespace NimbalCore {

int Message::Post(YlmRefPtr<Thread> thread) {
    if (!thread) return NbErrThreadFailed;
    senderThreadId = Thread::CurrentThreadId();
    targetThreadId = thread->GetThreadId();
    // Once posted, this message is the worker's and may already be gone.
    const int result = thread->Post(this);
    thread.Reset();
    return result;
}

} // namespace NimbalCore
