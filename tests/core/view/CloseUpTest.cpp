// Close-ups: one per image path, the deferred deletion while a listener
// removal runs, render failures kept with the end event still raised, the
// viewed rectangle kept inside the image, which parameter changes re-render
// the buffer and the overview, rotation, and renames.
#include "CloseUp.h"
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "RenderBuffer.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

// Counts the events it receives, by name; a hook may run on one of them.
class Events : public CloseUpEventCB {
public:
    void CloseUpReleased(CloseUp* c) override { Note("Released", c); }
    void CloseUpRenderBegin(CloseUp* c) override { Note("RenderBegin", c); }
    void CloseUpRenderEnd(CloseUp* c) override { Note("RenderEnd", c); }
    void CloseUpPictureRenderBegin(CloseUp* c) override { Note("PictureBegin", c); }
    void CloseUpPictureRenderEnd(CloseUp* c) override { Note("PictureEnd", c); }
    void CloseUpRefresh(CloseUp* c) override { Note("Refresh", c); }
    void CloseUpZoomChanged(CloseUp* c) override { Note("Zoom", c); }
    void CloseUpRenamed(CloseUp* c) override { Note("Renamed", c); }
    void CloseUpClosing(CloseUp* c) override { Note("Closing", c); }
    void CloseUpRectChanged(CloseUp* c) override { Note("Rect", c); }

    std::map<std::string, int> seen;
    std::function<void(const std::string&, CloseUp*)> hook;

private:
    void Note(const std::string& event, CloseUp* c) {
        ++seen[event];
        if (hook) hook(event, c);
    }
};

// A kind whose renders fail, with a core error or a bare code.
class FailingImage : public FakeImage {
public:
    using FakeImage::FakeImage;
    void RenderImage(const ImageProcessParam&, PixelArray&, bool, ProgressCB*, int) override {
        if (bare) throw int(NbErrNotImplemented);
        YLM_THROW("FailingImage::RenderImage", NbErrRenderFailed);
    }
    bool bare = false;
};

class CloseUpTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

TEST_F(CloseUpTest, OneCloseUpPerImagePathWhateverTheLetterCase) {
    ImageRef image(new FakeImage("/cu/IMG_1.ZYR", 300, 200));
    ImageRendering first(image, ImageProcessParam()), second(image, ImageProcessParam());
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&first);
    EXPECT_EQ(CloseUp::GetCloseUpFor(&second), closeUp);
    ImageRef twin(new FakeImage("/CU/img_1.zyr", 300, 200));
    ImageRendering other(twin, ImageProcessParam());
    EXPECT_EQ(CloseUp::FindCloseUpFor(&other), closeUp);
    EXPECT_EQ(closeUp->GetImageName(), "IMG_1.ZYR");

    // The last view detaching deletes it and leaves the registry.
    Events view;
    closeUp->AttachView(&view);
    closeUp->DetachView(&view);
    EXPECT_EQ(view.seen["Closing"], 0) << "a detached view is told nothing more";
    EXPECT_EQ(CloseUp::FindCloseUpFor(&first), nullptr);
}

TEST_F(CloseUpTest, TheLastViewDetachingDuringAListenerRemovalDeletesOnlyAfterIt) {
    ImageRef image(new FakeImage("/cu/A.ZYR", 300, 200));
    ImageRendering rendering(image, ImageProcessParam());
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
    Events document, view;
    closeUp->AddListener(&document);
    closeUp->AttachView(&view);
    bool aliveAfterDetach = false;
    // The view, told that no document follows the close-up any more,
    // closes itself.
    view.hook = [&](const std::string& event, CloseUp* c) {
        if (event != "Released") return;
        c->DetachView(&view);
        aliveAfterDetach = CloseUp::FindCloseUpFor(&rendering) == c;
    };
    closeUp->RemoveListener(&document);
    EXPECT_EQ(view.seen["Released"], 1);
    EXPECT_EQ(document.seen["Released"], 0) << "the removed document is not told";
    EXPECT_TRUE(aliveAfterDetach);
    EXPECT_EQ(CloseUp::FindCloseUpFor(&rendering), nullptr) << "deleted once the removal returned";
}

TEST_F(CloseUpTest, AFailingRenderKeepsItsErrorAndStillEnds) {
    for (bool bare : {false, true}) {
        SCOPED_TRACE(bare ? "bare code" : "core error");
        auto* failing = new FailingImage("/cu/F.ZYR", 300, 200);
        failing->bare = bare;
        ImageRef image(failing);
        ImageRendering rendering(image, ImageProcessParam());
        CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
        Events document, view;
        closeUp->AddListener(&document);
        closeUp->AttachView(&view);
        RenderBuffer buffer;
        closeUp->SetRenderBuffer(&buffer);
        NbRect size(0, 0, 63, 47);
        closeUp->SetViewRect(size);
        closeUp->SetCentre(NbPoint{150, 100});
        EXPECT_EQ(closeUp->GetRenderError().GetCode(), bare ? NbErrNotImplemented : NbErrRenderFailed);
        for (Events* e : {&document, &view}) {
            EXPECT_EQ(e->seen["RenderBegin"], 1);
            EXPECT_EQ(e->seen["RenderEnd"], 1);
        }
        closeUp->RemoveListener(&document);
        closeUp->DetachView(&view);
    }
}

TEST_F(CloseUpTest, TheViewedRectangleKeepsItsSizeInsideTheImage) {
    ImageRef image(new FakeImage("/cu/E.ZYR", 300, 200));
    ImageRendering rendering(image, ImageProcessParam());
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
    Events view;
    closeUp->AttachView(&view);

    NbRect size(10, 20, 109, 99);  // 100 x 80
    closeUp->SetViewRect(size);
    EXPECT_EQ(size, NbRect(10, 20, 109, 99)) << "the size fits, the corner is the caller's";
    closeUp->SetCentre(NbPoint{290, 195});
    EXPECT_EQ(closeUp->GetViewRect(), NbRect(200, 120, 299, 199));
    EXPECT_EQ(closeUp->GetCentre().x, 250);
    EXPECT_EQ(closeUp->GetCentre().y, 160);
    EXPECT_EQ(image->GetCloseUpPoint().x, 250);
    EXPECT_EQ(closeUp->GetViewOrigin().x, 200);
    closeUp->SetCentre(NbPoint{-40, 3});
    EXPECT_EQ(closeUp->GetViewRect(), NbRect(0, 0, 99, 79));

    // Wider than the image: cut to its width.
    NbRect wide(0, 0, 499, 59);
    closeUp->SetViewRect(wide);
    EXPECT_EQ(wide, NbRect(0, 0, 299, 59));
    EXPECT_EQ(closeUp->GetViewRect().Width(), 300);
    EXPECT_EQ(view.seen["Rect"], 4);
    closeUp->DetachView(&view);
}

TEST_F(CloseUpTest, ASharpeningChangeRerendersTheBufferButNotTheOverview) {
    auto* fake = new FakeImage("/cu/S.ZYR", 300, 200);
    ImageRef image(fake);
    ImageProcessParam params;
    params.noiseReductionMode = 2;
    params.noiseReductionStrength = 40;
    image->SetProcessParams(params);
    ImageRendering rendering(image, params);
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
    Events view;
    closeUp->AttachView(&view);
    RenderBuffer buffer, picture;
    closeUp->SetRenderBuffer(&buffer);
    closeUp->SetPicture(&picture);
    NbRect size(0, 0, 63, 47);
    closeUp->SetViewRect(size);
    closeUp->SetCentre(NbPoint{100, 100});
    closeUp->PreparePicture(&picture);
    closeUp->RenderPicture();
    EXPECT_FALSE(closeUp->IsPictureStale());
    EXPECT_EQ(picture.GetBounds(), NbRect(0, 0, 299, 199));
    // A single full-size level: the overview is drawn without noise reduction.
    EXPECT_EQ(fake->lastRenderParams.noiseReductionMode, 0);
    EXPECT_FALSE(fake->lastUseCrop);
    view.seen.clear();

    params.sharpenAmount = 12;
    image->SetProcessParams(params);
    EXPECT_EQ(view.seen["RenderBegin"], 1);
    EXPECT_EQ(view.seen["PictureBegin"], 0);
    EXPECT_TRUE(fake->lastUseCrop) << "the magnified buffer renders the viewed rectangle";
    EXPECT_EQ(closeUp->GetRendering()->GetProcessParam().outputSpaceMode, 1);

    params.exposureCompensation = 0.5f;
    image->SetProcessParams(params);
    EXPECT_EQ(view.seen["RenderBegin"], 2);
    EXPECT_EQ(view.seen["PictureBegin"], 1);
    closeUp->DetachView(&view);
}

TEST_F(CloseUpTest, TurningTheImageTurnsTheCentreAndTellsTheViews) {
    ImageRef image(new FakeImage("/cu/T.ZYR", 300, 200));
    ImageRendering rendering(image, ImageProcessParam());
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
    Events document, view;
    closeUp->AddListener(&document);
    closeUp->AttachView(&view);
    NbRect size(0, 0, 19, 19);
    closeUp->SetViewRect(size);
    closeUp->SetCentre(NbPoint{50, 40});
    ImageProcessParam turned = *image->GetProcessParams();
    turned.rotation = 90;
    image->SetProcessParams(turned);
    EXPECT_EQ(closeUp->GetViewMapping().GetRotation(), 90);
    EXPECT_EQ(closeUp->GetCentre().x, 159);
    EXPECT_EQ(closeUp->GetCentre().y, 50);
    EXPECT_EQ(view.seen["Zoom"], 1);
    EXPECT_EQ(document.seen["Zoom"], 0) << "views only";
    closeUp->RefreshViews();
    EXPECT_EQ(view.seen["Refresh"], 1);
    EXPECT_EQ(document.seen["Refresh"], 0);
    closeUp->RemoveListener(&document);
    closeUp->DetachView(&view);
}

TEST_F(CloseUpTest, ARenamedImageKeepsItsCloseUpAlsoWhenOnlyTheCaseChanges) {
    lumora::test::TempFolder temp;
    ImageRef image(new FakeImage(temp.write("old.zyr", "x"), 300, 200));
    ImageRendering rendering(image, ImageProcessParam());
    CloseUp* closeUp = CloseUp::GetCloseUpFor(&rendering);
    Events document;
    closeUp->AddListener(&document);
    for (const char* name : {"new.zyr", "NEW.ZYR"}) {
        SCOPED_TRACE(name);
        image->Rename(FilePathSpec(temp.file(name)));
        EXPECT_EQ(CloseUp::FindCloseUpFor(&rendering), closeUp);
    }
    EXPECT_EQ(document.seen["Renamed"], 2);
    closeUp->RemoveListener(&document);
    delete closeUp;
    EXPECT_EQ(CloseUp::FindCloseUpFor(&rendering), nullptr);
}

} // namespace
