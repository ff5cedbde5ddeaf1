// The preview's picture holds the whole image: a finished JPEG file opened
// in Better and in Faster shows every part of it (compared with the file
// reduced), and the picture takes its size from the level the image kind
// offers, turned with the image.
#include "CLMPreviewView.h"
#include "CPictureView.h"
#include "CPreviewDoc.h"
#include "GuiTest.h"
#include "ImageRendering.h"
#include "ProgramFrame.h"
#include "ResolutionsImage.h"

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/imagjpeg.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// The picture's pixels, drawn 1:1.
wxImage PicturePixels(const CPictureView& picture) {
    const wxSize size = picture.GetDimensions();
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC dc(bitmap);
        const wxRect all(wxPoint(0, 0), size);
        picture.Draw(dc, &all);
    }
    return bitmap.ConvertToImage();
}

// Mean difference per sample of two pictures reduced to the same small size.
double MeanDifference(wxImage a, wxImage b) {
    constexpr int kW = 48, kH = 32;
    a.Rescale(kW, kH, wxIMAGE_QUALITY_BOX_AVERAGE);
    b.Rescale(kW, kH, wxIMAGE_QUALITY_BOX_AVERAGE);
    double sum = 0;
    for (int i = 0; i < kW * kH * 3; ++i) sum += std::abs(int(a.GetData()[i]) - int(b.GetData()[i]));
    return sum / (kW * kH * 3);
}

TEST(PreviewPicture, AJpegFileShowsWholeInBetterAndInFaster) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path jpeg = settings.Dir() / "quarters.jpg";
    // Four quarters of their own colour, a gradient across the whole.
    ASSERT_EQ(std::system(("convert -size 600x400 xc:red xc:lime +append \\( xc:blue xc:yellow +append \\) -append "
                           "\\( -size 1200x800 gradient:white-black \\) -compose multiply -composite -quality 95 '" +
                           jpeg.string() + "'")
                              .c_str()),
              0);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxImage::AddHandler(new wxJPEGHandler);
    wxImage file;
    ASSERT_TRUE(file.LoadFile(wxString::FromUTF8(jpeg.string())));
    ASSERT_EQ(file.GetSize(), wxSize(1200, 800));
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, false, 100);
    ASSERT_NE(frame, nullptr);
    for (int quality : {1, 0}) {
        SCOPED_TRACE(quality == 1 ? "Better" : "Faster");
        frame->State().SetQuality(quality);
        auto* doc =
            dynamic_cast<CPreviewDoc*>(manager->CreateDocument(wxString::FromUTF8(jpeg.string()), wxDOC_SILENT));
        ASSERT_NE(doc, nullptr);
        gui::Settle(100);
        auto* view = dynamic_cast<CLMPreviewView*>(doc->GetFirstView());
        ASSERT_NE(view, nullptr);
        // A finished file offers its full size only.
        EXPECT_EQ(doc->ChooseRenderScale(quality), 1);
        EXPECT_EQ(view->GetPicture().GetDimensions(), wxSize(1200, 800));
        const wxImage shown = PicturePixels(view->GetPicture());
        EXPECT_LT(MeanDifference(shown, file), 6.0);
        doc->DeleteAllViews();
        gui::Settle(100);
    }
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

TEST(PreviewPicture, ThePictureHasTheSizeOfTheLevelTheImageOffers) {
    auto* image = new ResolutionsImage("/photos/harbour.zyr", 600, 400);
    image->factors = {1, 2, 4};
    NimbalCore::ImageProcessParam params;
    NimbalCore::ImageRendering rendering{NimbalCore::ImageRef(image), params};
    struct Case {
        float rotation;
        int level;
        wxSize size;
    };
    for (const Case& c : {Case{0, 1, {600, 400}}, Case{0, 2, {300, 200}}, Case{0, 4, {150, 100}},
                          Case{90, 4, {100, 150}}, Case{180, 2, {300, 200}}, Case{270, 1, {400, 600}}}) {
        SCOPED_TRACE(testing::Message() << c.rotation << " degrees, level " << c.level);
        rendering.GetProcessParamPtr()->rotation = c.rotation;
        CPictureView picture;
        EXPECT_EQ(picture.Render(&rendering, 1, 2, c.level), 1);
        EXPECT_EQ(picture.GetDimensions(), c.size);
    }
    // A level the image does not offer is an empty rectangle: one pixel.
    image->factors = {1, 2};
    rendering.GetProcessParamPtr()->rotation = 0;
    CPictureView picture;
    EXPECT_TRUE(picture.Render(&rendering, 1, 2, 4));
    EXPECT_EQ(picture.GetDimensions(), wxSize(1, 1));
}

} // namespace
