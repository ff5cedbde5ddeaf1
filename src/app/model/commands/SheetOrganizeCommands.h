#pragma once
// The contact sheet's organising commands without their windows: the sort
// order of the slides and the four selection commands, with their menu
// rules. Called on the user-interface thread; the selection commands hold
// the sheet's document lock for their whole run.
#include "SheetDocument.h"

class SheetOrganizeCommands {
public:
    enum Command : int {
        kSortByName = 32824,
        kSortByDate = 32825,
        kSelectAll = 57642,
        kSelectInverse = 32860,
        kSelectTagged = 32859,
        kDeselectAll = 32858,
    };
    enum SortMode : int { kByName = 0, kByDate = 1 };

    // What a sort item shows: its check mark, and whether it is greyed
    // (with no slide); otherwise its enabled state stays as it was.
    struct SortItemState {
        bool disabled = false;
        bool checked = false;
    };

    // Puts the slides in that order and keeps it as the last mode chosen;
    // false, changing nothing, when the sheet is in that order already.
    static bool SortBy(SheetDocument& sheet, int mode, int& lastSortMode);
    static SortItemState SortItem(SheetDocument& sheet, int mode);

    static void SelectAll(SheetDocument& sheet);
    static void SelectInverse(SheetDocument& sheet);
    static void SelectTagged(SheetDocument& sheet);
    static void DeselectAll(SheetDocument& sheet);
    // The rule of the four selection items: a sheet with slides.
    static bool CanSelect(SheetDocument& sheet) { return sheet.SlideCount() > 0; }
};
