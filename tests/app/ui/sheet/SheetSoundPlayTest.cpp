// A sound of a generated folder played from the contact sheet through SDL's
// silent "dummy" output: Play marks the sheet as playing, greys Play, and
// the mark clears once the sound has played to its end.
#include "CContactSheetDoc.h"
#include "CDocumentSound.h"
#include "CMainFrame.h"
#include "GuiTest.h"
#include "Image.h"
#include "ImagePool.h"
#include "LumoraDocManager.h"
#include "ProgramFrame.h"
#include "SdlSoundOutput.h"
#include "ToneWav.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

void WriteSheetToneWav(const fs::path& path, int milliseconds) {
    std::ofstream(path, std::ios::binary) << ToneWavBytes(std::chrono::milliseconds(milliseconds));
}

bool SoundItemEnabled(CMainFrame* frame, int command) {
    wxUpdateUIEvent event(ToWxId(command));
    frame->ProcessWindowEvent(event);
    return event.GetEnabled();
}

TEST(SheetSoundPlay, ASoundPlaysToItsEndAndThePlayMarkClears) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    gui::TempSettings settings;
    settings.Install();
    const fs::path folder = settings.Dir() / "Sounds";
    fs::create_directories(folder);
    ASSERT_EQ(std::system(("convert -size 120x80 xc:gray50 '" + (folder / "P1.JPG").string() + "'").c_str()), 0);
    WriteSheetToneWav(folder / "P1.WAV", 600);
    SdlSoundOutput output;
    SoundOutput::SetCurrent(&output);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true);
    ASSERT_NE(frame, nullptr);
    auto* doc = dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(doc, nullptr);
    gui::WaitForSlides(frame, 1);
    gui::Settle(300);

    // Nothing focused: nothing to play.
    EXPECT_FALSE(SoundItemEnabled(frame, CDocumentSound::kPlaySounds));
    const SheetDocument::SlidePtr slide = doc->Sheet().GetSlides().at(0);
    doc->Sheet().SelectSlide(slide);
    NimbalCore::ImageRef image = *slide->GetRendering()->GetImage();
    ASSERT_TRUE(gui::WaitFor([&image] { return image->GetSoundCount() == 1; }));
    EXPECT_TRUE(SoundItemEnabled(frame, CDocumentSound::kPlaySounds));
    EXPECT_FALSE(SoundItemEnabled(frame, CDocumentSound::kStopSounds));

    const auto started = std::chrono::steady_clock::now();
    wxCommandEvent play(wxEVT_MENU, ToWxId(CDocumentSound::kPlaySounds));
    frame->ProcessWindowEvent(play);
    EXPECT_TRUE(doc->IsSoundPlaying());
    EXPECT_FALSE(SoundItemEnabled(frame, CDocumentSound::kPlaySounds));
    // One sound, not all: Stop stays greyed.
    EXPECT_FALSE(SoundItemEnabled(frame, CDocumentSound::kStopSounds));
    ASSERT_TRUE(gui::WaitFor([doc] { return !doc->IsSoundPlaying(); }, 5000));
    // The mark clears only when the sound has played out.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_TRUE(SoundItemEnabled(frame, CDocumentSound::kPlaySounds));

    image.Reset();
    frame->Close(true);
    gui::Settle(300);
    wxTheApp->SetTopWindow(nullptr);
    delete manager;
    SoundOutput::SetCurrent(nullptr);
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
