#include "ShutdownSequence.h"

void RunShutdown(ShutdownSteps& steps, bool firstInstance) {
    steps.StopSound();
    if (firstInstance) steps.StopAutomationServer();
    // What the core's teardown throws must not keep the rest from ending.
    try {
        steps.DeleteImagePool();
        steps.DeleteMemoryPool();
    } catch (...) {
    }
    steps.BaseExit();
}
