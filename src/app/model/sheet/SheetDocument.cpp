#include "SheetDocument.h"

#include "ColorEngine.h"

#include "Folder.h"
#include "Image.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "NbErrorCodes.h"
#include "SaveQuestion.h"
#include "StringIds.h"
#include "TextSubstitution.h"
#include "YlmErrp.h"

#include <algorithm>

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

SheetDocument::SheetDocument(std::shared_ptr<SheetUiQueue> queue, std::function<bool()> rescanEnabled,
                             std::chrono::milliseconds period)
    : queue_(std::move(queue)), rescanEnabled_(std::move(rescanEnabled)), period_(period),
      uiThread_(std::this_thread::get_id()) {}

SheetDocument::~SheetDocument() {
    stopping_ = true;
    Lock guard(documentLock_);
    selection_.clear();
    focused_.reset();
    slides_.clear();
}

std::string SheetDocument::TitleOf(const std::string& folderPath) {
    std::string path = folderPath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? folderPath : name;
}

// ---- Open and close ------------------------------------------------------

bool SheetDocument::Open(const std::string& path) {
    const NimbalCore::FilePathSpec folderPath(path);
    try {
        if (!folderPath.IsFolder()) {
            ShowMessage(TranslatedText(IDS_UNABLE_TO_OPEN, {folderPath.GetFileName()}) + "\n" +
                        TranslatedText(IDS_UNSUPPORTED_IMAGE_TYPE));
            return false;
        }
        SetFolder(folderPath);
        // A folder that cannot be listed fails here rather than in the
        // watcher.
        (void)GetFolder()->FolderList();
    } catch (...) {
        ShowMessage(TranslatedText(IDS_UNABLE_TO_OPEN, {folderPath.GetPath()}));
        return false;
    }
    std::shared_ptr<SheetDocument> self = weak_from_this().lock();
    if (!self) return false;
    stopping_ = false;
    FolderWatcher::Jobs jobs;
    // The colour engine is made here, on the user-interface thread; the
    // watcher opens images with it on its own thread.
    NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
    jobs.threadStart = [engine] { return engine && engine->InitThread(); };
    jobs.threadEnd = [engine] { engine->TermThread(); };
    jobs.firstScan = [self] { self->ScanFolder(); };
    jobs.rescan = [self] { self->CheckForFolderChanges(); };
    jobs.failed = [self](const YlmErrp& error) {
        if (error.GetCode() == NimbalCore::NbErrPathStatFailed) self->FolderVanished();
    };
    return watcher_.Start(std::move(jobs), period_);
}

void SheetDocument::Close() {
    {
        Lock guard(documentLock_);
        stopping_ = true;
    }
    // Not under the document lock: the watcher may be waiting for it.
    watcher_.Stop(kStopWait);
    if (host_ && host_->IsSoundPlaying()) host_->StopSoundAndWait(TranslatedText(IDS_WAIT_FOR_SOUND));
    if (host_ && host_->HasMainWindow()) {
        host_->ClearImageBars();
        host_->ClearStatusPanes();
    }
    closed_ = true;
    host_ = nullptr;
}

void SheetDocument::FolderVanished() {
    if (vanishedShown_.exchange(true)) return;
    std::weak_ptr<SheetDocument> weak = weak_from_this();
    queue_->CallAfter([weak] {
        if (std::shared_ptr<SheetDocument> self = weak.lock()) self->ShowMessage(TranslatedText(IDS_FOLDER_GONE));
    });
}

void SheetDocument::ShowMessage(const std::string& text) {
    MessageBoxService::Current().Show(text, LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
}

void SheetDocument::OnUi(std::function<void(SheetHost&)> task) {
    if (OnUiThread()) {
        if (host_ && !closed_) task(*host_);
        return;
    }
    std::weak_ptr<SheetDocument> weak = weak_from_this();
    queue_->CallAfter([weak, task = std::move(task)] {
        std::shared_ptr<SheetDocument> self = weak.lock();
        if (self && self->host_ && !self->closed_) task(*self->host_);
    });
}

void SheetDocument::RefreshBars(NimbalCore::ImageRendering* rendering) {
    // A posted refresh reads the focus when it runs, not the rendering of
    // the moment, which may be gone by then.
    if (OnUiThread()) {
        if (!host_ || closed_) return;
        try {
            host_->RefreshImageBars(rendering);
        } catch (const YlmErrp& error) {
            // An image that cannot be opened just now leaves the bars as
            // they are; any other failure is the caller's.
            if (error.GetCode() != NimbalCore::NbErrImageOpenFailed) throw;
        }
        return;
    }
    OnUi([this](SheetHost& host) {
        SlidePtr focused = GetFocusedSlide();
        host.RefreshImageBars(focused ? focused->GetRendering() : nullptr);
    });
}

void SheetDocument::ClearBars() {
    OnUi([](SheetHost& host) { host.ClearImageBars(); });
}

// ---- Slides and selection -------------------------------------------------

std::vector<SheetDocument::SlidePtr> SheetDocument::GetSlides() {
    Lock guard(documentLock_);
    return slides_;
}

std::vector<SheetDocument::SlidePtr> SheetDocument::GetSelectionState() {
    Lock guard(documentLock_);
    return selection_;
}

SheetDocument::SlidePtr SheetDocument::GetFocusedSlide() {
    Lock guard(documentLock_);
    return selection_.empty() ? nullptr : focused_;
}

bool SheetDocument::HasSlide(const SheetSlide* slide) {
    Lock guard(documentLock_);
    return std::any_of(slides_.begin(), slides_.end(), [slide](const SlidePtr& s) { return s.get() == slide; });
}

int SheetDocument::SlideCount() {
    Lock guard(documentLock_);
    return int(slides_.size());
}

void SheetDocument::SelectSlide(const SlidePtr& slide) {
    if (!slide) return;
    Lock guard(documentLock_);
    // A slide that already left the sheet (its window not yet told) stays
    // out of the selection: nothing selected may outlive the sheet's list.
    if (!HasSlide(slide.get())) return;
    selection_.push_back(slide);
    SetFocusedSlide(slide);
}

void SheetDocument::AppendToSelection(const SlidePtr& slide) {
    if (!slide) return;
    Lock guard(documentLock_);
    if (!HasSlide(slide.get())) return;
    selection_.push_back(slide);
    slide->MarkSelected();
}

bool SheetDocument::DeselectSlide(const SlidePtr& slide) {
    if (!slide) return false;
    Lock guard(documentLock_);
    auto at = std::find(selection_.begin(), selection_.end(), slide);
    if (at == selection_.end()) return false;
    slide->MarkUnselected();
    selection_.erase(at);
    if (slide == focused_) SetFocusedSlide(nullptr);
    return true;
}

void SheetDocument::ClearSelection() {
    Lock guard(documentLock_);
    if (OnUiThread() && !(host_ && host_->HasMainWindow())) return;
    for (const SlidePtr& slide : selection_) slide->MarkUnselected();
    selection_.clear();
    focused_.reset();
    RefreshBars(nullptr);
    OnUi([](SheetHost& host) { host.ClearStatusPanes(); });
    UpdateCountsPane();
}

SheetDocument::SlidePtr SheetDocument::SetFocusedSlide(const SlidePtr& slide) {
    Lock guard(documentLock_);
    if (OnUiThread() && !(host_ && host_->HasSheetView())) return nullptr;
    SlidePtr previous = focused_;
    if (!slide) {
        if (selection_.empty()) {
            focused_.reset();
            return previous;
        }
        SlidePtr last = selection_.back();
        if (!last || !last->GetImagePath().Exists()) {
            ClearBars();
            return nullptr;
        }
        // The slide that held the focus keeps only its selected mark: one
        // slide of the sheet shows the focus.
        if (previous && previous != last && previous->IsSelected()) previous->MarkSelected();
        focused_ = last;
        last->MarkFocused();
        RefreshBars(last->GetRendering());
        FollowFocusWithCloseUp();
        return previous;
    }
    if (slide == previous) {
        ClearBars();
        return nullptr;
    }
    if (previous) previous->MarkSelected();
    focused_ = slide;
    RefreshBars(slide->GetRendering());
    slide->MarkFocused();
    FollowFocusWithCloseUp();
    return previous;
}

void SheetDocument::FollowFocusWithCloseUp() {
    // Read when it runs on the user-interface thread: the focus of that
    // moment, whose rendering the slide still holds.
    OnUi([this](SheetHost& host) {
        NimbalCore::ImageRendering* rendering = nullptr;
        if (GetFocusedImage(&rendering) && rendering) host.FollowFocusWithCloseUp(rendering);
    });
}

void SheetDocument::UpdateCountsPane() {
    int slides = 0, selected = 0;
    {
        Lock guard(documentLock_);
        slides = int(slides_.size());
        selected = int(selection_.size());
    }
    OnUi([slides, selected](SheetHost& host) {
        if (host.HasMainWindow())
            host.SetCountsPane(SubstituteNumbers(LoadTranslatedString(IDS_SHEET_COUNTS), {slides, selected}));
    });
}

std::vector<NimbalCore::ImageRendering*> SheetDocument::GetSelectedImages() {
    Lock guard(documentLock_);
    std::vector<NimbalCore::ImageRendering*> images;
    for (const SlidePtr& slide : selection_)
        if (slide) images.push_back(slide->GetRendering());
    return images;
}

bool SheetDocument::GetFocusedImage(NimbalCore::ImageRendering** rendering) {
    *rendering = nullptr;
    Lock guard(documentLock_);
    if (slides_.empty() || selection_.empty()) return false;
    const SlidePtr slide = focused_ ? focused_ : selection_.back();
    if (!slide) return false;
    *rendering = slide->GetRendering();
    return true;
}

bool SheetDocument::ApplyProcessParams(const NimbalCore::ImageProcessParam& params,
                                       NimbalCore::ImageRendering* rendering) {
    if (!rendering) return false;
    const NimbalCore::ImageProcessParam before = rendering->GetProcessParam();
    try {
        // A counted reference keeps the image while it changes.
        const NimbalCore::ImageRef image = *rendering->GetImage();
        if (!image) return false;
        if (image->ValidateProcessParams(params) != 0) return false;
        if (params == before) return true;
        // The slide's copy first: the image's notice makes the slide draw
        // what it holds.
        rendering->SetProcessParam(params);
        try {
            image->SetProcessParams(params);
        } catch (...) {
            rendering->SetProcessParam(before);
            throw;
        }
        SetModifiedFlag(true);
        SlidePtr focused = GetFocusedSlide();
        if (focused && focused->GetRendering() == rendering) RefreshBars(rendering);
        return true;
    } catch (...) {
        ShowMessage(TranslatedText(IDS_UNABLE_TO_RENDER_IMAGE));
        return false;
    }
}

std::optional<UndoSelection> SheetDocument::GetUndoSelection() { return GetSelectedImages(); }

void SheetDocument::RestoreSelection(UndoSelection selection) {
    Lock guard(documentLock_);
    ClearSelection();
    // A slide that left the sheet since the step was taken is skipped.
    for (NimbalCore::ImageRendering* rendering : selection) {
        auto at = std::find_if(slides_.begin(), slides_.end(),
                               [rendering](const SlidePtr& s) { return s->GetRendering() == rendering; });
        if (at != slides_.end()) SelectSlide(*at);
    }
    UpdateCountsPane();
}

// ---- The core's callbacks -------------------------------------------------

int SheetDocument::ImageFound(NimbalCore::ImageRef image) {
    Lock guard(documentLock_);
    try {
        if (stopping_) return kIgnoredWhileStopping;
        if (ContactSheet::ImageFound(image) == kNameListed) return 0;
        NimbalCore::ImageRendering* rendering = nullptr;
        try {
            rendering = FindImageByName(image->GetFileName());
        } catch (const YlmErrp&) {
            return kSlideFailed;
        }
        auto slide = std::make_shared<SheetSlide>(*rendering);
        const size_t index = std::min(size_t(std::max(0, GetImageList()->IndexOf(rendering))), slides_.size());
        slides_.insert(slides_.begin() + std::ptrdiff_t(index), slide);
        OnUi([](SheetHost& host) { host.SlideAdded(); });
        return 0;
    } catch (...) {
        return kSlideFailed;
    }
}

void SheetDocument::CheckForFolderChanges() {
    if (rescanEnabled_ && !rescanEnabled_()) return;
    std::lock_guard<std::recursive_mutex> scan(scanLock_);
    ContactSheet::CheckForFolderChanges();
}

void SheetDocument::DropImages(std::vector<NimbalCore::ImageRendering*> renderings, NimbalCore::ProgressCB* progress,
                               int mode) {
    std::lock_guard<std::recursive_mutex> scan(scanLock_);
    ContactSheet::DropImages(std::move(renderings), progress, mode);
}

void SheetDocument::ReportDropFailures(std::vector<std::string> names) {
    const std::string text = names.size() == 1 ? TranslatedText(IDS_DROP_NAME_EXISTS, {names[0], names[0]})
                                               : TranslatedText(IDS_DROP_NAMES_EXIST);
    ShowMessage(text);
    SlidePtr focused = GetFocusedSlide();
    RefreshBars(focused ? focused->GetRendering() : nullptr);
}

void SheetDocument::FolderContentsChanged() {
    std::vector<SlidePtr> gone;
    {
        Lock guard(documentLock_);
        std::vector<SlidePtr> leftovers;
        leftovers.swap(slides_);
        const int count = GetImageList()->Count();
        for (int i = 0; i < count; ++i) {
            NimbalCore::ImageRendering* rendering = GetImageAt(i);
            if (!rendering || !*rendering->GetImage()) continue;
            const NimbalCore::FilePathSpec path = (*rendering->GetImage())->GetFilePathSpec();
            // A null entry is passed over: the slides after it stay.
            auto at = std::find_if(leftovers.begin(), leftovers.end(),
                                   [&path](const SlidePtr& s) { return s && s->ShowsFile(path); });
            if (at == leftovers.end()) continue;
            slides_.push_back(*at);
            leftovers.erase(at);
        }
        for (const SlidePtr& slide : leftovers) {
            if (!slide) continue;
            // The selection holds only slides of the sheet (a slide may be
            // in it more than once).
            while (DeselectSlide(slide)) {
            }
            gone.push_back(slide);
        }
    }
    if (!gone.empty())
        OnUi([gone](SheetHost& host) {
            for (const SlidePtr& slide : gone) host.RemoveFromUndo(slide->GetRendering());
            host.RemoveSlides(gone);
        });
    UpdateCountsPane();
}

void SheetDocument::ImageFileChanged(const NimbalCore::FilePathSpec& path) {
    try {
        Lock guard(documentLock_);
        auto at = std::find_if(slides_.begin(), slides_.end(),
                               [&path](const SlidePtr& s) { return s && s->ShowsFile(path); });
        if (at != slides_.end() && (*at)->IsSelected()) DeselectSlide(*at);
        ContactSheet::ImageFileChanged(path);
    } catch (...) {
        // An image the sheet does not list: nothing more to do.
    }
}

void SheetDocument::SoundsChanged(const NimbalCore::FilePathSpec& path) {
    Lock guard(documentLock_);
    for (const SlidePtr& slide : slides_)
        if (slide->GetMark() == SheetSlide::Mark::kFocused && slide->ShowsFile(path))
            OnUi([slide](SheetHost& host) { host.SoundsChanged(slide); });
}

bool SheetDocument::AnyImageModified() {
    Lock guard(documentLock_);
    for (const SlidePtr& slide : slides_) {
        NimbalCore::ImageRef* image = slide->GetRendering()->GetImage();
        if (*image && (*image)->IsModified()) return true;
    }
    return false;
}

void SheetDocument::ImageSaved(const NimbalCore::FilePathSpec&) {
    if (!IsModified()) return;
    try {
        if (AnyImageModified()) return;
    } catch (...) {
    }
    SetModifiedFlag(false);
}

void SheetDocument::ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) {
    try {
        ContactSheet::ImageRenamed(oldPath, newPath);
    } catch (const YlmErrp&) {
        // An image this sheet does not list: its list stays as it is.
    }
    if (renaming_) return;
    FolderContentsChanged();
    OnUi([](SheetHost& host) { host.SlidesReordered(); });
}

void SheetDocument::SetRenameInProgress(bool renaming) {
    if (renaming_.exchange(renaming) && !renaming) {
        FolderContentsChanged();
        OnUi([](SheetHost& host) { host.SlidesReordered(); });
    }
}

void SheetDocument::ActivateImage(const NimbalCore::FilePathSpec& path) {
    Lock guard(documentLock_);
    auto at = std::find_if(slides_.begin(), slides_.end(), [&path](const SlidePtr& s) { return s->ShowsFile(path); });
    if (at == slides_.end()) return;
    const SlidePtr slide = *at;
    OnUi([](SheetHost& host) { host.ShowSheet(); });
    ClearSelection();
    SelectSlide(slide);
    UpdateCountsPane();
}

// ---- Save and the close question -------------------------------------------

bool SheetDocument::CanSave() {
    if (!IsModified()) return false;
    try {
        return !GetFolder()->GetPathSpec().IsReadOnly();
    } catch (const YlmErrp&) {
        return false;
    }
}

void SheetDocument::Save() {
    Lock guard(documentLock_);
    saving_ = true;
    int yesToAll = 0;
    for (const SlidePtr& slide : slides_) {
        NimbalCore::ImageRef image = *slide->GetRendering()->GetImage();
        if (!image) continue;
        try {
            if (image->IsModified()) image->WriteAllMetaDataToFile();
        } catch (...) {
            if (yesToAll) continue;
            const std::string question = TranslatedText(IDS_UNABLE_TO_SAVE, {image->GetFilePathSpec().GetPath()}) +
                                         LoadTranslatedString(IDS_CONTINUE_SAVING);
            if (!host_ || host_->AskSaveFailure(question, yesToAll) != kSaveQuestionYes) {
                saving_ = false;
                lastSaveResult_ = 0;
                return;
            }
        }
    }
    saving_ = false;
    lastSaveResult_ = 1;
    // Images that failed and were passed over still hold unsaved settings:
    // the mark stays for them.
    SetModifiedFlag(AnyImageModified());
}

bool SheetDocument::SaveModified() {
    if (!IsModified()) return true;
    const std::string title = TitleOf(GetFolder()->GetPathSpec().GetPath());
    const int answer = MessageBoxService::Current().Show(TranslatedText(IDS_SAVE_CHANGES_TO, {title}),
                                                         LoadTranslatedString(IDS_APP_TITLE),
                                                         MessageBoxService::kYesNoCancel);
    if (answer == MessageBoxService::kAnswerCancel) {
        lastSaveResult_ = 0;
    } else if (answer == MessageBoxService::kAnswerNo) {
        lastSaveResult_ = 1;
    } else {
        bool readOnly = false;
        try {
            readOnly = GetFolder()->GetPathSpec().IsReadOnly();
        } catch (const YlmErrp&) {
            readOnly = true;
        }
        if (readOnly)
            lastSaveResult_ = host_ ? host_->SaveImagesAs(GetSlides(), IDS_SAVE_AS_TITLE) : 0;
        else
            Save();
    }
    return lastSaveResult_ != 0;
}
