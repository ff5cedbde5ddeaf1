#include "Message.h"
#include "NbErrorCodes.h"
#include "TerminationMessage.h"
#include "Thread.h"
#include "ThreadEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using namespace NimbalCore;

namespace {

// Records its number on the worker, in the order the worker runs it.
struct Log {
    std::mutex mutex;
    std::vector<int> order;
    std::vector<uint32_t> threads;
};

class Record : public Message {
public:
    Record(Log& log, int n, int answer = 0) : log_(log), n_(n), answer_(answer) {}
    int Execute() override {
        std::lock_guard lock(log_.mutex);
        log_.order.push_back(n_);
        log_.threads.push_back(Thread::CurrentThreadId());
        return answer_;
    }

private:
    Log& log_;
    int n_;
    int answer_;
};

class Throws : public Message {
public:
    explicit Throws(bool asLong) : asLong_(asLong) {}
    int Execute() override {
        if (asLong_) throw 77L;
        throw std::runtime_error("boom");
    }

private:
    bool asLong_;
};

std::atomic<int> g_deletedMessages{0};
class Counted : public Message {
public:
    ~Counted() override { ++g_deletedMessages; }
    int Execute() override { return 0; }
};

// Waits for the worker to take everything posted so far.
// The events are shared: the worker may still be inside Wait when the test
// that opened the gate returns.
struct GateEvents {
    ThreadEvent reached, open;
};
class Gate : public Message {
public:
    explicit Gate(std::shared_ptr<GateEvents> events) : events_(std::move(events)) {}
    int Execute() override {
        events_->reached.Set();
        events_->open.Wait(ThreadEvent::kInfinite);
        return 0;
    }

private:
    std::shared_ptr<GateEvents> events_;
};

void Stop(const YlmRefPtr<Thread>& thread) {
    ASSERT_EQ((new TerminationMessage(thread.Get()))->Post(thread), 0);
    const uint32_t waited = thread->WaitForExit(5000);
    EXPECT_TRUE(waited == Thread::kWaitObject0 || waited == NbErrThreadFailed) << waited;
    for (int i = 0; i < 500 && thread->GetThreadId() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

TEST(ThreadTest, RunsMessagesInOrderAndEndsWithZero) {
    YlmRefPtr<Thread> thread(new Thread("render helper"));
    Log log;
    ASSERT_EQ(thread->Start(), 0);
    const uint32_t worker = thread->GetThreadId();
    EXPECT_NE(worker, 0u);
    EXPECT_NE(worker, Thread::CurrentThreadId());
    EXPECT_EQ(thread->Start(), NbErrThreadFailed); // one worker at a time
    EXPECT_EQ(thread->GetThreadId(), worker);
    for (int i = 0; i < 50; ++i) ASSERT_EQ((new Record(log, i))->Post(thread), 0);
    Stop(thread);
    EXPECT_EQ(thread->GetExitCode(), 0);
    EXPECT_EQ(thread->GetThreadId(), 0u);
    std::vector<int> expected(50);
    for (int i = 0; i < 50; ++i) expected[i] = i;
    EXPECT_EQ(log.order, expected);
    for (uint32_t id : log.threads) EXPECT_EQ(id, worker);
    EXPECT_EQ(thread->WaitForExit(100), static_cast<uint32_t>(NbErrThreadFailed));
}

TEST(ThreadTest, TwoPostersEachMessageOnceInQueueOrder) {
    YlmRefPtr<Thread> thread(new Thread("two posters"));
    ASSERT_EQ(thread->Start(), 0);
    Log log;
    std::mutex postMutex;
    std::vector<int> posted; // the order the queue took them
    auto poster = [&](int base) {
        for (int i = 0; i < 200; ++i) {
            std::lock_guard lock(postMutex);
            Message* m = new Record(log, base + i);
            ASSERT_EQ(thread->Post(m), 0);
            posted.push_back(base + i);
        }
    };
    std::thread a(poster, 0), b(poster, 1000);
    a.join();
    b.join();
    Stop(thread);
    EXPECT_EQ(log.order, posted);
    EXPECT_EQ(log.order.size(), 400u);
}

TEST(ThreadTest, PostToAnEndedOrUnstartedWorkerAnswersAtOnce) {
    YlmRefPtr<Thread> thread(new Thread("idle"));
    Log log;
    Record never(log, 1);
    EXPECT_EQ(thread->Post(&never), NbErrThreadFailed); // never started: stays ours
    EXPECT_EQ(thread->Post(nullptr), NbErrThreadFailed);
    EXPECT_EQ(thread->WaitForExit(10), static_cast<uint32_t>(NbErrThreadFailed));
    ASSERT_EQ(thread->Start(), 0);
    Stop(thread);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(thread->Post(&never), NbErrThreadFailed); // ended: stays ours, no waiting
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(log.order.empty());
    // A message aimed at another worker is refused too.
    ASSERT_EQ(thread->Start(), 0);
    Record elsewhere(log, 2);
    elsewhere.targetThreadId = thread->GetThreadId() + 1;
    EXPECT_EQ(thread->Post(&elsewhere), NbErrThreadFailed);
    Stop(thread);
}

TEST(ThreadTest, ANonZeroAnswerOrAThrowEndsTheWorker) {
    Log log;
    {
        YlmRefPtr<Thread> thread(new Thread("answer"));
        ASSERT_EQ(thread->Start(), 0);
        ASSERT_EQ((new Record(log, 1, 5))->Post(thread), 0);
        thread->WaitForExit(5000);
        for (int i = 0; i < 500 && thread->GetThreadId() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(thread->GetExitCode(), 5);
    }
    for (bool asLong : {true, false}) {
        YlmRefPtr<Thread> thread(new Thread("throws"));
        ASSERT_EQ(thread->Start(), 0);
        ASSERT_EQ((new Throws(asLong))->Post(thread), 0);
        thread->WaitForExit(5000);
        for (int i = 0; i < 500 && thread->GetThreadId() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(thread->GetExitCode(), asLong ? 77 : NbErrThreadFailed);
    }
}

TEST(ThreadTest, MessagesLeftAfterTheEndAreDeleted) {
    g_deletedMessages = 0;
    auto gate = std::make_shared<GateEvents>();
    {
        YlmRefPtr<Thread> thread(new Thread("leftovers"));
        ASSERT_EQ(thread->Start(), 0);
        ASSERT_EQ((new Gate(gate))->Post(thread), 0);
        ASSERT_EQ(gate->reached.Wait(5000), ThreadEvent::kWaitObject0);
        ASSERT_EQ((new TerminationMessage(thread.Get()))->Post(thread), 0);
        for (int i = 0; i < 3; ++i) ASSERT_EQ((new Counted)->Post(thread), 0);
        gate->open.Set();
        thread->WaitForExit(5000);
    }
    for (int i = 0; i < 500 && g_deletedMessages < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(g_deletedMessages, 3);
}

TEST(ThreadTest, WaitForExitTimesOutWhileTheWorkerRuns) {
    YlmRefPtr<Thread> thread(new Thread("busy"));
    ASSERT_EQ(thread->Start(), 0);
    EXPECT_EQ(thread->WaitForExit(20), Thread::kWaitTimeout);
    Stop(thread);
}

TEST(ThreadTest, CloseForgetsTheWorkerWhichRunsOn) {
    YlmRefPtr<Thread> thread(new Thread("closed"));
    ASSERT_EQ(thread->Start(), 0);
    Log log;
    auto gate = std::make_shared<GateEvents>();
    ASSERT_EQ((new Gate(gate))->Post(thread), 0);
    ASSERT_EQ(gate->reached.Wait(5000), ThreadEvent::kWaitObject0);
    ASSERT_EQ((new TerminationMessage(thread.Get()))->Post(thread), 0);
    thread->Close();
    EXPECT_EQ(thread->GetThreadId(), 0u);
    EXPECT_EQ(thread->WaitForExit(10), static_cast<uint32_t>(NbErrThreadFailed));
    Record late(log, 1);
    EXPECT_EQ(thread->Post(&late), NbErrThreadFailed);
    gate->open.Set(); // the worker finishes what it was given and ends
}

TEST(ThreadTest, PriorityLevels) {
    YlmRefPtr<Thread> thread(new Thread("priority"));
    EXPECT_EQ(thread->SetPriority(1), 6); // no worker
    ASSERT_EQ(thread->Start(), 0);
    EXPECT_EQ(thread->SetPriority(0), 0);
    const int raised = thread->SetPriority(2);
    EXPECT_TRUE(raised == 0 || raised == 5) << raised;
    EXPECT_EQ(thread->GetPriority(), raised == 0 ? 2 : 0);
    EXPECT_EQ(thread->SetPriority(99), 0); // back to normal
    EXPECT_EQ(thread->GetPriority(), 99);
    Stop(thread);
}

TEST(ThreadTest, ProcessorCountCanBeForced) {
    const char* saved = std::getenv("LUMORA_CPU_COUNT");
    const std::string keep = saved ? saved : "";
    setenv("LUMORA_CPU_COUNT", "1", 1);
    EXPECT_EQ(GetProcessorCount(), 1u);
    setenv("LUMORA_CPU_COUNT", "2", 1);
    EXPECT_EQ(GetProcessorCount(), 2u);
    setenv("LUMORA_CPU_COUNT", "zero", 1);
    EXPECT_GE(GetProcessorCount(), 1u);
    if (saved) setenv("LUMORA_CPU_COUNT", keep.c_str(), 1);
    else unsetenv("LUMORA_CPU_COUNT");
}

TEST(ThreadEventTest, AutoResets) {
    ThreadEvent e;
    EXPECT_EQ(e.Wait(10), ThreadEvent::kWaitTimeout);
    e.Set();
    EXPECT_EQ(e.Wait(10), ThreadEvent::kWaitObject0);
    EXPECT_EQ(e.Wait(10), ThreadEvent::kWaitTimeout);
    std::thread setter([&] { e.Set(); });
    EXPECT_EQ(e.Wait(ThreadEvent::kInfinite), ThreadEvent::kWaitObject0);
    setter.join();
}
