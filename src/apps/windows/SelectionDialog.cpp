#include "SelectionDialog.h"

#include "platform/SystemText.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kelvo::win32 {
namespace {

constexpr const wchar_t* kClassName = L"TFormSelect";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;
constexpr int kClientWidth = 642, kClientHeight = 482;

struct ButtonDesign {
    int id;
    const char* caption;
    int left;
};
// All four sit at top 392, 75 x 73, anchored right and bottom.
constexpr ButtonDesign kButtons[4] = {
    {kSelectOkId, ui::select::kOkCaption, 536},
    {kSelectCancelId, ui::select::kCancelCaption, 432},
    {kSelectCheckAllId, ui::select::kCheckAllCaption, 24},
    {kSelectUncheckAllId, ui::select::kUncheckAllCaption, 120},
};

std::wstring wide(const std::string& s) { return platform::utf8ToWide(s); }

} // namespace

SelectionDialog::SelectionDialog(HWND owner) : owner_(owner) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &SelectionDialog::windowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc)) throw std::runtime_error("Cannot register the selection dialog's class");
    }
    RECT outer{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    const std::wstring caption = wide(ui::select::kCaption);
    CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.right - outer.left, outer.bottom - outer.top, owner, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("Cannot create the selection dialog");

    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 8, 8, 626, 361, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSelectListId)), instance, nullptr);
    if (!list_) throw std::runtime_error("Cannot create the selection list");
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    const COLORREF background = RGB(ui::select::kListBackgroundRed, ui::select::kListBackgroundGreen,
                                    ui::select::kListBackgroundBlue);
    ListView_SetBkColor(list_, background);
    ListView_SetTextBkColor(list_, background);
    ListView_SetTextColor(list_, RGB(0, 0, 0));
    const std::pair<const char*, int> columns[] = {{ui::select::kIdColumn, ui::select::kIdColumnWidth},
                                                   {ui::select::kTimeColumn, ui::select::kTimeColumnWidth},
                                                   {ui::select::kDescriptionColumn, ui::select::kDescriptionColumnWidth}};
    int index = 0;
    for (const auto& [name, width] : columns) {
        std::wstring text = wide(name);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text.data();
        column.cx = width;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const std::wstring caption_i = wide(kButtons[i].caption);
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (kButtons[i].id == kSelectOkId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        buttons_[i] = CreateWindowExW(0, L"BUTTON", caption_i.c_str(), style, kButtons[i].left, 392, 75, 73, hwnd_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtons[i].id)), instance, nullptr);
        if (!buttons_[i]) throw std::runtime_error("Cannot create the selection dialog's buttons");
        SendMessageW(buttons_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
}

SelectionDialog::~SelectionDialog() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

void SelectionDialog::fill() {
    ListView_DeleteAllItems(list_);
    const auto& rows = logic_->rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::wstring id = wide(rows[i].id), time = wide(rows[i].time), description = wide(rows[i].description);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = id.data();
        const auto at = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        item.iItem = at;
        item.iSubItem = 1;
        item.pszText = time.data();
        SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 2;
        item.pszText = description.data();
        SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
        ListView_SetCheckState(list_, at, rows[i].checked);
    }
}

void SelectionDialog::readTicks() {
    const int count = ListView_GetItemCount(list_);
    for (int i = 0; i < count; ++i) logic_->setChecked(static_cast<std::size_t>(i), ListView_GetCheckState(list_, i) != 0);
}

void SelectionDialog::layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const LONG dx = client.right - kClientWidth, dy = client.bottom - kClientHeight;
    SetWindowPos(list_, nullptr, 0, 0, std::max(0L, 626 + dx), std::max(0L, 361 + dy),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (std::size_t i = 0; i < 4; ++i)
        SetWindowPos(buttons_[i], nullptr, kButtons[i].left + dx, 392 + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SelectionDialog::end(int result) {
    if (!modal_) return;
    readTicks();
    result_ = result;
    modal_ = false;
}

int SelectionDialog::showModal(ui::SelectionLogic& logic) {
    logic_ = &logic;
    fill();
    result_ = ui::kModalCancel;
    modal_ = true;
    if (owner_) EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(list_);
    MSG msg;
    while (modal_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            end(ui::kModalCancel);
            break;
        }
        if (IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner_) EnableWindow(owner_, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    if (owner_) SetActiveWindow(owner_);
    logic_ = nullptr;
    return result_;
}

LRESULT CALLBACK SelectionDialog::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<SelectionDialog*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<SelectionDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT SelectionDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: // Enter
        case kSelectOkId: end(ui::kModalOk); return 0;
        case IDCANCEL: // Esc
        case kSelectCancelId: end(ui::kModalCancel); return 0;
        case kSelectCheckAllId:
        case kSelectUncheckAllId:
            if (logic_) {
                logic_->sButton2Click(LOWORD(wParam) == kSelectCheckAllId ? ui::select::kCheckAllTag
                                                                          : ui::select::kUncheckAllTag);
                for (std::size_t i = 0; i < logic_->rows().size(); ++i)
                    ListView_SetCheckState(list_, static_cast<int>(i), logic_->rows()[i].checked);
            }
            return 0;
        default: break;
        }
        break;
    case WM_SIZE:
        if (list_) layout();
        break;
    case WM_CLOSE: end(ui::kModalCancel); return 0;
    case WM_NCDESTROY: {
        HWND gone = hwnd_;
        hwnd_ = nullptr;
        SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
        return DefWindowProcW(gone, message, wParam, lParam);
    }
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace kelvo::win32
