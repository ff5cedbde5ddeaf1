#pragma once
// A second instance hands its command line to the first: it waits while the
// first instance holds the lock until the first answers Ready, brings it
// forward and has it open every path. When the lock comes free the process
// starts as the first instance instead (the first one failed or was killed).
#include "InstanceTransport.h"
#include "MessageBoxService.h"

#include <string>
#include <vector>

constexpr int kInstancePollMs = 100;

struct SecondInstanceResult {
    enum Outcome {
        kForwarded,      // done; the process ends with status 0
        kStartAsFirst,   // the lock is ours now: start as the first instance
        kFailed,         // a message was shown; the process ends with status 1
    };
    Outcome outcome = kForwarded;
    std::string message;  // the literal shown on kFailed
};

// socketPath empty: "IDS_ERR_LOOKUP_PROGID". A connection that cannot be
// made after Ready, or an exchange that fails while forwarding:
// "IDS_ERR_NO_LM_EXE". Messages go to boxes (and the caller's stderr).
SecondInstanceResult RunSecondInstance(InstanceTransport& transport, const std::string& socketPath,
                                       const std::vector<std::string>& paths, MessageBoxService& boxes);
