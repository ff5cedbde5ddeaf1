// The three image bars under Xvfb with a real image: a JPEG file opened as a
// preview fills the Image Controls, Image Info and Output Histogram bars
// when its view becomes active, and empties them when it closes; the
// "Set..." buttons of commands nothing takes show disabled; the sound list
// and the histogram's channel boxes follow the image.
#include "CapabilityImage.h"
#include "CDisabledItemComboBox.h"
#include "CImageHistogram.h"
#include "CImageInfo.h"
#include "CImageSettings.h"
#include "CLMPreviewView.h"
#include "CPreviewDoc.h"
#include "GuiTest.h"
#include "MainFrameFixture.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ProgramFrame.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dcscreen.h>
#include <wx/dcmemory.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/aui/framemanager.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string BarsLabel(CImageSettings* bar, int id) {
    auto* text = dynamic_cast<wxStaticText*>(bar->GetControl(id));
    return text ? text->GetLabel().utf8_string() : std::string("(missing)");
}

// The main frame's screen pixels, saved for the record.
void BarsShoot(wxWindow*, const std::string& name) {
    std::error_code ignored;
    fs::create_directories("/work/shots", ignored);
    const wxRect r(0, 0, 1600, 1200);
    wxBitmap shot(r.width, r.height, 24);
    {
        wxScreenDC screen;
        wxMemoryDC dc(shot);
        dc.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    }
    shot.SaveFile(wxString::FromUTF8("/work/shots/picture-" + name + ".png"), wxBITMAP_TYPE_PNG);
}

TEST(ImageBarsWindow, APreviewFillsTheThreeBarsAndClosingEmptiesThem) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path raw = settings.Dir() / "harbour.jpg";
    // A sky over a darker harbour: a histogram with two humps.
    ASSERT_EQ(std::system(("convert -size 600x200 gradient:'#8ab4e8'-'#dfe9f5' \\( -size 600x200 "
                           "gradient:'#404830'-'#203020' \\) -append -quality 92 '" +
                           raw.string() + "'")
                              .c_str()),
              0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true, 100);
    ASSERT_NE(frame, nullptr);
    frame->SetSize(1600, 1200);
    frame->Move(0, 0);
    CImageSettings* controls = frame->GetImageSettings();
    CImageInfo* info = frame->GetImageInfo();
    CImageHistogram* histogram = frame->GetImageHistogram();
    ASSERT_TRUE(controls && info && histogram);
    auto* exposure = dynamic_cast<wxSlider*>(controls->GetControl(1009));
    ASSERT_NE(exposure, nullptr);
    EXPECT_FALSE(exposure->IsEnabled());
    EXPECT_EQ(histogram->Presenter().GetHistogram(), nullptr);

    wxLog* previousLog = wxLog::SetActiveTarget(new wxLogStderr);
    auto* doc = dynamic_cast<CPreviewDoc*>(manager->CreateDocument(wxString::FromUTF8(raw.string()), wxDOC_SILENT));
    delete wxLog::SetActiveTarget(previousLog);
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<CLMPreviewView*>(doc->GetFirstView());
    ASSERT_NE(view, nullptr);
    view->Activate(true);
    gui::Settle(300);
    NimbalCore::ImageRendering* rendering = doc->GetCurrentRendering();
    ASSERT_NE(rendering, nullptr);
    NimbalCore::Image& image = **rendering->GetImage();
    const NimbalCore::ImageProcessParam& params = *rendering->GetProcessParamPtr();

    // Image Controls: the image's own exposure and white point.
    EXPECT_EQ(exposure->IsEnabled(), image.CanAdjustExposure());
    if (image.CanAdjustExposure()) {
        EXPECT_EQ(exposure->GetValue(), int(std::lround(params.exposureCompensation * 10)));
        EXPECT_NE(BarsLabel(controls, 1038).find("EV"), std::string::npos);
    }
    auto* balance = dynamic_cast<CDisabledItemComboBox*>(controls->GetControl(1173));
    ASSERT_NE(balance, nullptr);
    EXPECT_EQ(balance->IsEnabled(), params.balanceType != 7);
    EXPECT_EQ(BarsLabel(controls, 1226).empty(), params.noiseReductionMode < 0 || params.noiseReductionMode > 7);
    // Nothing takes the "Set..." commands yet: the buttons show disabled.
    auto* setExposure = dynamic_cast<wxButton*>(controls->FindWindow(ToWxId(33187)));
    ASSERT_NE(setExposure, nullptr);
    EXPECT_TRUE(gui::WaitFor([&] { return !setExposure->IsEnabled(); }, 2000));
    auto* iptc = dynamic_cast<wxButton*>(info->FindWindow(ToWxId(32854)));
    ASSERT_NE(iptc, nullptr);
    EXPECT_TRUE(gui::WaitFor([&] { return !iptc->IsEnabled(); }, 2000));

    // Image Info: the camera lines and the annotation.
    EXPECT_TRUE(info->GetCameraSettingsList()->IsEnabled());
    EXPECT_EQ(info->GetAnnotationEdit()->GetValue().utf8_string(), image.GetAnnotation());
    EXPECT_EQ(info->GetSoundList()->GetCount(), image.GetSounds()->size() > 1 ? image.GetSounds()->size() + 1
                                                                              : image.GetSounds()->size());
    // Output Histogram: computed from the image.
    ASSERT_NE(histogram->Presenter().GetHistogram(), nullptr);
    EXPECT_GT(histogram->Presenter().GetHistogram()->GetPixelCount(), 0u);
    EXPECT_EQ(histogram->GetChannelBox(0)->IsEnabled(), params.colorMode != 2);
    histogram->GetChannelBox(0)->SetValue(true);
    histogram->GetGraph()->Refresh();
    // The three bars side by side at the right of the screen.
    wxAuiManager& panes = frame->GetAuiManager();
    int x = 1600 - 3 * 262;
    for (const char* name : {"ImageControls", "ImageInfo", "OutputHistogram"}) {
        panes.GetPane(name).Float().FloatingPosition(x, 90);
        x += 262;
    }
    panes.Update();
    frame->SetSize(1600 - 3 * 262, 1200);
    gui::Settle(500);
    BarsShoot(frame, "bars");

    doc->DeleteAllViews();
    gui::Settle(200);
    EXPECT_FALSE(exposure->IsEnabled());
    EXPECT_FALSE(info->GetCameraSettingsList()->IsEnabled());
    EXPECT_EQ(histogram->Presenter().GetHistogram(), nullptr);
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

// An image with the sounds and the annotation a test gives it.
class WindowBarsImage : public CapabilityImage {
public:
    std::vector<NimbalCore::FilePathSpec>* GetSounds() override { return &soundFiles; }
    int GetMaxAnnotationLength() override { return 255; }
    std::string GetImageInfoText() override { return "ISO 100\n1/250 s\nf/8\nunfinished"; }
    std::vector<NimbalCore::FilePathSpec> soundFiles;
};

using ImageBarsFrame = gui::MainFrameFixture;

TEST_F(ImageBarsFrame, SoundsAnnotationAndChannelBoxesFollowTheImage) {
    CImageInfo* info = frame_->GetImageInfo();
    CImageHistogram* histogram = frame_->GetImageHistogram();
    auto* image = new WindowBarsImage;
    image->FillPattern();
    image->annotationText = "dawn";
    image->soundFiles = {NimbalCore::FilePathSpec("/photos/a.wav"), NimbalCore::FilePathSpec("/photos/b.wav"),
                         NimbalCore::FilePathSpec("/photos/c.wav")};
    NimbalCore::ImageProcessParam params;
    NimbalCore::ImageRendering rendering{NimbalCore::ImageRef(image), params};
    info->Update(*image, &params);
    EXPECT_EQ(info->GetSoundList()->GetCount(), 4u);
    EXPECT_EQ(info->GetSelectedSoundIndex(), 3);
    EXPECT_EQ(info->GetSoundList()->GetString(3), "All sounds");
    // The last camera line has no newline: it is not shown.
    EXPECT_EQ(info->GetCameraSettingsList()->GetCount(), 3u);
    EXPECT_EQ(frame_->State().annotation, "dawn");

    // Leaving the edit commits a changed annotation once; Ctrl commits
    // before a shortcut acts.
    int commits = 0;
    frame_->Bind(wxEVT_MENU, [&](wxCommandEvent&) { ++commits; }, ToWxId(1047));
    wxTextCtrl* edit = info->GetAnnotationEdit();
    auto leave = [edit] {
        wxFocusEvent lost(wxEVT_KILL_FOCUS, edit->GetId());
        lost.SetEventObject(edit);
        edit->GetEventHandler()->ProcessEvent(lost);
    };
    leave();
    EXPECT_EQ(commits, 0);
    edit->ChangeValue("dawn over the harbour");
    leave();
    leave();
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(frame_->State().annotation, "dawn over the harbour");
    edit->ChangeValue("dusk");
    wxKeyEvent ctrl(wxEVT_KEY_DOWN);
    ctrl.m_keyCode = WXK_CONTROL;
    ctrl.SetEventObject(edit);
    edit->GetEventHandler()->ProcessEvent(ctrl);
    EXPECT_EQ(commits, 2);
    EXPECT_EQ(frame_->State().annotation, "dusk");

    // A grey look takes the R, G and B boxes away; a colour look gives them
    // back as they were.
    histogram->GetChannelBox(1)->SetValue(true);
    NimbalCore::ImageProcessParam grey = params;
    grey.colorMode = 2;
    histogram->Update(&rendering, &grey);
    EXPECT_FALSE(histogram->GetChannelBox(1)->GetValue());
    EXPECT_FALSE(histogram->GetChannelBox(1)->IsEnabled());
    histogram->Update(&rendering, &params);
    EXPECT_TRUE(histogram->GetChannelBox(1)->GetValue());
    EXPECT_FALSE(histogram->GetChannelBox(0)->GetValue());
    EXPECT_TRUE(histogram->GetChannelBox(1)->IsEnabled());
    histogram->Clear();
    info->Clear();
    EXPECT_EQ(frame_->State().annotation, "");
    NimbalCore::ImagePool::DeleteInstance();
}

TEST_F(ImageBarsFrame, TheFloatingImageInfoBarKeepsItsSizeAndNotLess) {
    wxAuiManager& panes = frame_->GetAuiManager();
    frame_->Show();
    panes.GetPane("ImageInfo").Float().FloatingPosition(900, 100);
    panes.Update();
    gui::Settle(200);
    CImageInfo* info = frame_->GetImageInfo();
    wxWindow* floating = wxGetTopLevelParent(info);
    ASSERT_NE(floating, frame_);
    floating->SetSize(300, 500);
    gui::Settle(300);
    int height = 0, width = 0;
    ProfileItemManager items;
    items.GetInt(PI_IMAGE_INFO_HEIGHT, height);
    items.GetInt(PI_IMAGE_INFO_WIDTH, width);
    EXPECT_EQ(width, info->GetSize().x);
    EXPECT_EQ(height, info->GetSize().y);
    // Smaller than the minimum: the bar stops there.
    floating->SetSize(100, 100);
    gui::Settle(300);
    EXPECT_GE(info->GetSize().x, 225);
    EXPECT_GE(info->GetSize().y, 325);
    items.GetInt(PI_IMAGE_INFO_HEIGHT, height);
    items.GetInt(PI_IMAGE_INFO_WIDTH, width);
    EXPECT_GE(width, 225);
    EXPECT_GE(height, 325);
    // A bar made afterwards (the next start) takes the stored size.
    CImageInfo next(frame_);
    EXPECT_EQ(next.GetFloatSize(), wxSize(width, height));
}

} // namespace
