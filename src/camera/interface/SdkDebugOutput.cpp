#include "SdkDebugOutput.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex sinkMutex;
SdkDebugSink currentSink = nullptr;
void* currentContext = nullptr;
} // namespace

void SdkOutputDebugString(const char* text) {
    std::lock_guard lock(sinkMutex);
    if (currentSink) {
        currentSink(text, currentContext);
        return;
    }
    static const bool enabled = [] {
        const char* v = std::getenv("LUMORA_DEBUG_OUTPUT");
        return v && v[0] == '1';
    }();
    if (enabled) std::fputs(text, stderr);
}

SdkDebugSink SdkSetDebugSink(SdkDebugSink sink, void* context) {
    std::lock_guard lock(sinkMutex);
    SdkDebugSink old = currentSink;
    currentSink = sink;
    currentContext = context;
    return old;
}
