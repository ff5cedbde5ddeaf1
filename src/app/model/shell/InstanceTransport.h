#pragma once
// How a second instance reaches the first: a lock the first instance holds
// for its life, and a connection to its automation server with the items
// Ready, Visible, OpenFolder (Request/Poke) and Raise (Execute). The
// program's transport is wxClient over the Unix socket; tests script one.
#include <memory>
#include <string>

class InstanceConnection {
public:
    virtual ~InstanceConnection() = default;
    // false when the exchange failed (the server went away).
    virtual bool Request(const std::string& item, std::string& answer) = 0;
    virtual bool Poke(const std::string& item, const std::string& value) = 0;
    virtual bool Execute(const std::string& command) = 0;
};

class InstanceTransport {
public:
    virtual ~InstanceTransport() = default;
    // Takes the single-instance lock; true when this process now holds it
    // (no other live instance holds it).
    virtual bool TryTakeLock() = 0;
    // A connection to the first instance's server, or null.
    virtual std::unique_ptr<InstanceConnection> Connect() = 0;
    virtual void SleepMs(int milliseconds) = 0;
};
