// A main frame of the test process over a settings file of its own.
#pragma once

#include "CMainFrame.h"
#include "GuiTest.h"

#include <gtest/gtest.h>
#include <wx/docview.h>

namespace gui {

class MainFrameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.Install();
        frame_ = new CMainFrame(&manager_);
        ASSERT_TRUE(frame_->CreateFrame());
    }
    void TearDown() override {
        frame_->Destroy();
        Settle();
    }
    TempSettings settings_;
    wxDocManager manager_;
    CMainFrame* frame_ = nullptr;
};

} // namespace gui
