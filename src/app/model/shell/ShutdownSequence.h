#pragma once
// The program's end, in its order: the sound stops, the first instance
// withdraws its server, the core goes (guarded), the rest of wx's exit.
class ShutdownSteps {
public:
    virtual ~ShutdownSteps() = default;
    virtual void StopSound() = 0;             // 1
    virtual void StopAutomationServer() = 0;  // 2: first instance only; removes the socket
    virtual void DeleteImagePool() = 0;       // 3 (may throw)
    virtual void DeleteMemoryPool() = 0;      // 3 (may throw)
    virtual void BaseExit() = 0;              // 4
};

void RunShutdown(ShutdownSteps& steps, bool firstInstance);
