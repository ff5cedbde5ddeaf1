// The contact sheet's seams for headless tests: a user-interface queue the
// test drains on its own thread, a host that logs what the windows were
// told, and message boxes that record their texts and the thread that
// showed them.
#pragma once

#include "ImageRendering.h"
#include "MessageBoxService.h"
#include "SaveQuestion.h"
#include "SheetHost.h"
#include "SheetSlide.h"
#include "SheetUiQueue.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sheettest {

class DrainedQueue : public SheetUiQueue {
public:
    void CallAfter(std::function<void()> task) override {
        std::lock_guard<std::mutex> guard(lock_);
        tasks_.push_back(std::move(task));
    }
    // Runs what was posted, on the calling thread; the number run.
    int Drain() {
        int run = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (tasks_.empty()) return run;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
            ++run;
        }
    }
    size_t Pending() {
        std::lock_guard<std::mutex> guard(lock_);
        return tasks_.size();
    }
    // Drains until cond holds or ms passed.
    bool DrainUntil(const std::function<bool()>& cond, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            Drain();
            if (cond()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

private:
    std::mutex lock_;
    std::deque<std::function<void()>> tasks_;
};

class LoggingSheetHost : public SheetHost {
public:
    bool HasMainWindow() override { return mainWindow; }
    bool HasSheetView() override { return sheetView; }
    void RefreshImageBars(NimbalCore::ImageRendering* rendering) override {
        Log(rendering ? "bars " + (*rendering->GetImage())->GetFileName() : "bars empty");
    }
    void ClearImageBars() override { Log("bars cleared"); }
    void FollowFocusWithCloseUp(NimbalCore::ImageRendering* rendering) override {
        Log("close-up " + (rendering && *rendering->GetImage() ? (*rendering->GetImage())->GetFileName() : std::string("none")));
    }
    void ClearStatusPanes() override { Log("panes cleared"); }
    void SetCountsPane(const std::string& text) override { counts = text; }
    void ShowSheet() override { Log("shown"); }
    void SlideAdded() override { ++added; }
    void RemoveSlides(const std::vector<std::shared_ptr<SheetSlide>>& slides) override {
        Log("remove " + std::to_string(slides.size()));
    }
    void SoundsChanged(const std::shared_ptr<SheetSlide>&) override { Log("sounds"); }
    void SlidesReordered() override { ++reordered; }
    void RemoveFromUndo(const NimbalCore::ImageRendering* rendering) override {
        if (forgetInUndo) forgetInUndo(rendering);
    }
    int AskSaveFailure(const std::string& message, int& yesToAll) override {
        questions.push_back(message);
        const int button = saveAnswers.empty() ? kSaveQuestionNo : saveAnswers.front();
        if (!saveAnswers.empty()) saveAnswers.pop_front();
        return SaveQuestionAnswer(button, yesToAll);
    }
    int SaveImagesAs(const std::vector<std::shared_ptr<SheetSlide>>& slides, int titleId) override {
        Log("save as " + std::to_string(slides.size()) + " " + std::to_string(titleId));
        return saveAsResult;
    }
    bool IsSoundPlaying() override { return soundPlaying; }
    void StopSoundAndWait(const std::string& text) override {
        Log("wait: " + text);
        soundPlaying = false;
    }

    void Log(const std::string& line) {
        std::lock_guard<std::mutex> guard(lock_);
        log.push_back(line);
    }
    std::vector<std::string> TakeLog() {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    bool mainWindow = true;
    bool sheetView = true;
    bool soundPlaying = false;
    int saveAsResult = 1;
    int added = 0;
    int reordered = 0;
    std::string counts;
    std::vector<std::string> questions;
    std::deque<int> saveAnswers;
    std::function<void(const NimbalCore::ImageRendering*)> forgetInUndo;
    std::vector<std::string> log;

private:
    std::mutex lock_;
};

class SheetBoxes : public MessageBoxService {
public:
    SheetBoxes() { MessageBoxService::SetCurrent(this); }
    ~SheetBoxes() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons buttons) override {
        std::lock_guard<std::mutex> guard(lock_);
        texts.push_back(text);
        threads.push_back(std::this_thread::get_id());
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == kOk ? kAnswerOk : kAnswerYes;
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock_);
        return texts.size();
    }
    std::vector<std::string> texts;
    std::vector<std::thread::id> threads;
    std::deque<int> answers;

private:
    std::mutex lock_;
};

} // namespace sheettest
