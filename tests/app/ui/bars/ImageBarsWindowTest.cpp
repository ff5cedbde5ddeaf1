// The three image bars under Xvfb with a real image: a JPEG file opened as a
// preview fills the Image Controls, Image Info and Output Histogram bars
// when its view becomes active, and empties them when it closes; the
// "Set..." buttons of commands nothing takes show disabled; the sound list
// and the histogram's channel boxes follow the image.
#include "CDisabledItemComboBox.h"
#include "CImageHistogram.h"
#include "CImageInfo.h"
#include "CImageSettings.h"
#include "CLMPreviewView.h"
#include "CPreviewDoc.h"
#include "GuiTest.h"
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
void BarsShoot(wxWindow* frame, const std::string& name) {
    std::error_code ignored;
    fs::create_directories("/work/shots", ignored);
    const wxRect r = frame->GetScreenRect();
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
    gui::Settle(300);
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

} // namespace
