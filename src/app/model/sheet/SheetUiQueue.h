#pragma once
// The way from any thread of a contact sheet to the user-interface thread:
// a task posted here runs there later, in posting order. The program posts
// to the application's event queue; tests run the tasks when they choose.
#include <functional>

class SheetUiQueue {
public:
    virtual ~SheetUiQueue() = default;
    // Any thread may call it; it never waits for the task.
    virtual void CallAfter(std::function<void()> task) = 0;
};
