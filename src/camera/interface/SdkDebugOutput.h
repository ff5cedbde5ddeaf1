#pragma once
// Where the camera interface's few diagnostic lines go (what Windows sends to
// an attached debugger). Dropped unless LUMORA_DEBUG_OUTPUT=1 is set, then
// written to standard error; a test can catch them with a sink.
using SdkDebugSink = void (*)(const char* text, void* context);

void SdkOutputDebugString(const char* text);
// Installs a sink (null restores the default); answers the previous sink.
SdkDebugSink SdkSetDebugSink(SdkDebugSink sink, void* context);
