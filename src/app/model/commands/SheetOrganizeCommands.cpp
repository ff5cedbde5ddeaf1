#include "SheetOrganizeCommands.h"

#include "Image.h"
#include "ImageList.h"
#include "ImageRendering.h"

#include <mutex>

namespace {

bool IsTaggedSlide(const SheetDocument::SlidePtr& slide) {
    NimbalCore::ImageRef* image = slide->GetRendering()->GetImage();
    return *image && (*image)->IsTagged();
}

} // namespace

bool SheetOrganizeCommands::SortBy(SheetDocument& sheet, int mode, int& lastSortMode) {
    NimbalCore::ImageList* list = sheet.GetImageList();
    if (list->GetSortMode() == mode) return false;
    list->SetSortMode(mode);
    lastSortMode = mode;
    // Takes the document lock itself.
    sheet.FolderContentsChanged();
    return true;
}

SheetOrganizeCommands::SortItemState SheetOrganizeCommands::SortItem(SheetDocument& sheet, int mode) {
    std::lock_guard<std::recursive_mutex> guard(sheet.DocumentLock());
    if (sheet.SlideCount() == 0) return {true, false};
    return {false, sheet.GetImageList()->GetSortMode() == mode};
}

void SheetOrganizeCommands::SelectAll(SheetDocument& sheet) {
    std::lock_guard<std::recursive_mutex> guard(sheet.DocumentLock());
    sheet.ClearSelection();
    for (const SheetDocument::SlidePtr& slide : sheet.GetSlides()) sheet.AppendToSelection(slide);
    sheet.UpdateCountsPane();
    sheet.SetFocusedSlide(nullptr);
}

void SheetOrganizeCommands::SelectInverse(SheetDocument& sheet) {
    std::lock_guard<std::recursive_mutex> guard(sheet.DocumentLock());
    for (const SheetDocument::SlidePtr& slide : sheet.GetSlides()) {
        if (slide->IsSelected()) {
            sheet.DeselectSlide(slide);
        } else {
            sheet.AppendToSelection(slide);
        }
        sheet.UpdateCountsPane();
        sheet.SetFocusedSlide(nullptr);
    }
}

void SheetOrganizeCommands::SelectTagged(SheetDocument& sheet) {
    std::lock_guard<std::recursive_mutex> guard(sheet.DocumentLock());
    for (const SheetDocument::SlidePtr& slide : sheet.GetSlides()) {
        const bool tagged = IsTaggedSlide(slide);
        if (tagged && !slide->IsSelected()) {
            sheet.SelectSlide(slide);
        } else if (!tagged && slide->IsSelected()) {
            sheet.DeselectSlide(slide);
        }
        sheet.UpdateCountsPane();
    }
}

void SheetOrganizeCommands::DeselectAll(SheetDocument& sheet) { sheet.ClearSelection(); }
