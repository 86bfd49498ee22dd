#pragma once
// The selection dialog, "Select", in plain Win32: a checked list of the stored items with OK,
// Cancel, "Check all" and "Uncheck all". Its rows and ticks live in SelectionLogic, which
// survives hiding; this class shows them modally and hands the user's ticks back.
#include "ui/SelectionLogic.h"

#include <windows.h>

namespace kelvo::win32 {

inline constexpr int kSelectListId = 301;
inline constexpr int kSelectOkId = 302;
inline constexpr int kSelectCancelId = 303;
inline constexpr int kSelectCheckAllId = 304;
inline constexpr int kSelectUncheckAllId = 305;

class SelectionDialog {
public:
    explicit SelectionDialog(HWND owner);
    ~SelectionDialog();
    SelectionDialog(const SelectionDialog&) = delete;
    SelectionDialog& operator=(const SelectionDialog&) = delete;

    HWND handle() const { return hwnd_; }
    // Shows the dialog with the logic's rows, owner disabled, until OK, Cancel, Esc or close;
    // the ticks go back into the logic. The modal result: ui::kModalOk or ui::kModalCancel.
    int showModal(ui::SelectionLogic& logic);
    // Ends a modal showing with that result (what the buttons do).
    void end(int result);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void fill();
    void readTicks();
    void layout();

    HWND owner_;
    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    HWND buttons_[4] = {};
    HFONT font_ = nullptr;
    ui::SelectionLogic* logic_ = nullptr;
    int result_ = 0;
    bool modal_ = false;
};

} // namespace kelvo::win32
