// The Edit menu's Undo and Redo in the program's frame: both items exist
// with Ctrl+Z and Ctrl+Y, their texts and states follow the active
// document's steps, and the keys undo and redo a change of a preview.
#include "CDocumentBase.h"
#include "CMainFrame.h"
#include "CPreviewDoc.h"
#include "GuiTest.h"
#include "Image.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "ProgramFrame.h"
#include "UndoTextIds.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/menu.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct ItemState {
    std::string text;
    bool enabled;
    int accelFlags;
    int accelKey;
};

ItemState StateOf(CMainFrame* frame, int command) {
    frame->DoMenuUpdates();
    wxMenuItem* item = frame->GetMenuBar()->FindItem(ToWxId(command));
    if (!item) return {"(missing)", false, 0, 0};
    ItemState state{item->GetItemLabel().utf8_string(), item->IsEnabled(), 0, 0};
    if (wxAcceleratorEntry* accel = item->GetAccel()) {
        state.accelFlags = accel->GetFlags();
        state.accelKey = accel->GetKeyCode();
        delete accel;
    }
    return state;
}

// The Edit menu opened by its mnemonic, on a picture of the screen under
// the build's test output; false when the picture could not be taken.
bool ShootEditMenu(const std::string& name) {
    const char* build = std::getenv("LUMORA_BUILD_DIR");
    if (!build) return false;
    const fs::path out = fs::path(build) / "tests" / "output" / "ui" / "UndoMenu";
    fs::create_directories(out);
    gui::KeyHere('E', wxMOD_ALT);
    gui::Settle(400);
    const bool taken = std::system(("import -window root '" + (out / name).string() + "'").c_str()) == 0;
    gui::KeyHere(WXK_ESCAPE);
    gui::Settle(200);
    return taken;
}

float Rotation(CDocumentBase* doc) { return (*doc->GetSelectedImages().at(0)->GetImage())->GetProcessParams()->rotation; }

TEST(UndoMenu, EditUndoAndRedoFollowTheStepsAndAnswerTheirKeys) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path jpeg = settings.Dir() / "quay.jpg";
    ASSERT_EQ(std::system(("convert -size 64x48 gradient:red-blue '" + jpeg.string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true, 100);
    ASSERT_NE(frame, nullptr);
    constexpr int kUndo = CMainFrame::ID_EDIT_UNDO, kRedo = CMainFrame::ID_EDIT_REDO;

    // No document: nothing to undo or redo.
    ItemState undo = StateOf(frame, kUndo), redo = StateOf(frame, kRedo);
    EXPECT_EQ(undo.text, LoadTranslatedString(IDS_CANT_UNDO));
    EXPECT_EQ(redo.text, LoadTranslatedString(IDS_CANT_REDO));
    EXPECT_FALSE(undo.enabled);
    EXPECT_FALSE(redo.enabled);
    EXPECT_EQ(std::make_pair(undo.accelFlags, undo.accelKey), std::make_pair(int(wxACCEL_CTRL), int('Z')));
    EXPECT_EQ(std::make_pair(redo.accelFlags, redo.accelKey), std::make_pair(int(wxACCEL_CTRL), int('Y')));
    EXPECT_NE(ToWxId(kUndo), wxID_UNDO);
    EXPECT_NE(ToWxId(kRedo), wxID_REDO);

    auto* doc = dynamic_cast<CPreviewDoc*>(manager->CreateDocument(wxString::FromUTF8(jpeg.string()), wxDOC_SILENT));
    ASSERT_NE(doc, nullptr);
    gui::Settle(200);
    EXPECT_EQ(StateOf(frame, kUndo).text, LoadTranslatedString(IDS_CANT_UNDO));

    // A rotation under a step.
    doc->BeginUndo(IDS_UNDO_ROTATE, IDS_REDO_ROTATE, true, false, false, false, false);
    NimbalCore::ImageRendering* rendering = doc->GetSelectedImages().at(0);
    NimbalCore::ImageProcessParam turned = rendering->GetProcessParam();
    turned.rotation = 90.0f;
    rendering->SetProcessParam(turned);
    rendering->CommitProcessParam();
    doc->EndUndo();
    undo = StateOf(frame, kUndo);
    redo = StateOf(frame, kRedo);
    EXPECT_EQ(undo.text, "&Undo Rotate\tCtrl+Z");
    EXPECT_TRUE(undo.enabled);
    EXPECT_EQ(redo.text, LoadTranslatedString(IDS_CANT_REDO));
    EXPECT_FALSE(redo.enabled);

    // Ctrl+Z, as the user presses it.
    frame->Raise();
    gui::Settle(100);
    EXPECT_TRUE(ShootEditMenu("edit-menu-undo-rotate.png"));
    gui::KeyHere('Z', wxMOD_CONTROL);
    gui::WaitFor([&] { return Rotation(doc) == 0.0f; }, 3000);
    EXPECT_EQ(Rotation(doc), 0.0f);
    undo = StateOf(frame, kUndo);
    redo = StateOf(frame, kRedo);
    EXPECT_EQ(undo.text, LoadTranslatedString(IDS_CANT_UNDO));
    EXPECT_FALSE(undo.enabled);
    EXPECT_EQ(redo.text, "&Redo Rotate\tCtrl+Y");
    EXPECT_TRUE(redo.enabled);
    EXPECT_TRUE(ShootEditMenu("edit-menu-redo-rotate.png"));

    gui::KeyHere('Y', wxMOD_CONTROL);
    gui::WaitFor([&] { return Rotation(doc) == 90.0f; }, 3000);
    EXPECT_EQ(Rotation(doc), 90.0f);
    EXPECT_EQ(StateOf(frame, kUndo).text, "&Undo Rotate\tCtrl+Z");
    EXPECT_EQ(StateOf(frame, kRedo).text, LoadTranslatedString(IDS_CANT_REDO));

    // The menu command does the same.
    wxCommandEvent command(wxEVT_MENU, ToWxId(kUndo));
    frame->ProcessWindowEvent(command);
    EXPECT_EQ(Rotation(doc), 0.0f);

    doc->DeleteAllViews();
    gui::Settle(100);
    EXPECT_EQ(StateOf(frame, kRedo).text, LoadTranslatedString(IDS_CANT_REDO)) << "its document is gone";
    frame->Close(true);
    gui::Settle(200);
    wxTheApp->SetTopWindow(nullptr);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
