#include "MainWindow.h"

#include "platform/SystemText.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace kelvo::win32 {
namespace {

constexpr const wchar_t* kClassName = L"TForm68";
// A fixed dialog border: no resizing, no minimise or maximise buttons.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kStatusPanelWidth = 256;
// "Break" is anchored to the bottom: it ends this far above the client area's bottom edge.
constexpr int kBreakBottomGap = kMainClientHeight - (24 + 185);

std::wstring wide(const std::string& utf8) { return platform::utf8ToWide(utf8); }

void registerClassOnce(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) throw std::runtime_error("Cannot register the main window's class");
}

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data); // opens at the folder chosen last
    if (message == BFFM_SELCHANGED) {
        // The dialog shows the path of the current selection.
        wchar_t path[MAX_PATH] = {};
        if (!SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) path[0] = L'\0';
        SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

} // namespace

MainWindow::MainWindow(MainWindowSetup setup) : setup_(std::move(setup)) {
    setup_.logic.shell = this;
    logic_ = std::make_unique<ui::MainWindowLogic>(setup_.logic);

    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClassOnce(instance, &MainWindow::windowProc);
    RECT outer{0, 0, kMainClientWidth, kMainClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    CreateWindowExW(kExStyle, kClassName, L"Kelvo", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                    outer.bottom - outer.top, nullptr, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("Cannot create the main window");
    createControls();
    stateChanged(); // starts Timer1: enabled from the moment the window exists
}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

void MainWindow::createControls() {
    // Tahoma, 11 pixels high.
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto button = [&](const wchar_t* caption, int id, int left, int top, int width, int height, DWORD extra) {
        HWND b = CreateWindowExW(0, L"BUTTON", caption,
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON | extra, left, top,
                                 width, height, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                 nullptr);
        if (!b) throw std::runtime_error("Cannot create the main window's buttons");
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return b;
    };
    // Created in tab order: images, Break, cines.
    images_ = button(L"Get Kelvo images", kImagesButtonId, 24, 24, 75, 73, BS_MULTILINE);
    break_ = button(L"Break", kBreakButtonId, 136, 24, 75, 185, 0);
    cines_ = button(L"Get Kelvo\r\ncines", kCinesButtonId, 24, 136, 75, 73, BS_MULTILINE);

    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance, nullptr);
    if (!status_) throw std::runtime_error("Cannot create the main window's status bar");
    int parts[] = {kStatusPanelWidth};
    SendMessageW(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
}

void MainWindow::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void MainWindow::layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    SetWindowPos(break_, nullptr, 0, 0, 75, std::max(0L, client.bottom - 24 - kBreakBottomGap),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(status_, WM_SIZE, 0, 0);
}

void MainWindow::stateChanged() {
    if (!hwnd_) return;
    const std::wstring text = wide(logic_->statusText());
    SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const ui::ButtonStates b = logic_->buttons();
    EnableWindow(images_, b.images);
    EnableWindow(cines_, b.cines);
    EnableWindow(break_, b.breakButton);
    if (logic_->timerEnabled() && !timerRunning_) timerRunning_ = SetTimer(hwnd_, kTimer1Id, kTimer1Interval, nullptr) != 0;
    if (!logic_->timerEnabled() && timerRunning_) {
        KillTimer(hwnd_, kTimer1Id);
        timerRunning_ = false;
    }
    if (const auto height = logic_->windowHeight()) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        if (r.bottom - r.top != *height)
            SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, *height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainWindow::errorReport(const std::string& text, const std::string& detail) {
    std::wstring body = wide(text);
    if (!detail.empty()) body += L"\r\n\r\n" + wide(detail);
    const std::wstring caption = wide(logic_->title());
    if (setup_.messageBox) setup_.messageBox(body, caption);
    else MessageBoxW(hwnd_, body.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
}

std::optional<std::filesystem::path> MainWindow::chooseFolder() {
    if (setup_.folderDialog) return setup_.folderDialog();
    const std::wstring start = lastFolder_ ? lastFolder_->wstring() : std::wstring();
    BROWSEINFOW info{};
    info.hwndOwner = hwnd_;
    info.pidlRoot = nullptr; // the desktop
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT; // the status line needs the classic dialog
    info.lpfn = browseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return std::nullopt;
    std::wstring path(MAX_PATH, L'\0');
    const bool ok = SHGetPathFromIDListW(chosen, path.data());
    CoTaskMemFree(chosen);
    if (!ok) return std::nullopt;
    path.resize(wcslen(path.c_str()));
    lastFolder_ = std::filesystem::path(path);
    return lastFolder_;
}

void MainWindow::closeWindow() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

ui::DesktopSize MainWindow::desktopSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void MainWindow::applyPlacement(const ui::RestoredPlacement& placement) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd_, &wp)) return;
    if (placement.position) {
        // Only left and top: the size never comes from the file.
        const LONG width = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
        const LONG height = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
        wp.rcNormalPosition = {placement.position->x, placement.position->y, placement.position->x + width,
                               placement.position->y + height};
    }
    if (placement.showCmd) wp.showCmd = static_cast<UINT>(*placement.showCmd);
    else wp.showCmd = IsWindowVisible(hwnd_) ? SW_SHOWNORMAL : SW_HIDE;
    SetWindowPlacement(hwnd_, &wp);
}

ui::WindowPlacement MainWindow::currentPlacement() {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(hwnd_, &wp);
    ui::WindowPlacement p;
    p.showCmd = static_cast<int>(wp.showCmd);
    p.flags = static_cast<int>(wp.flags);
    HDC dc = GetDC(hwnd_);
    p.pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(hwnd_, dc);
    p.minPosition = {wp.ptMinPosition.x, wp.ptMinPosition.y};
    p.maxPosition = {wp.ptMaxPosition.x, wp.ptMaxPosition.y};
    p.normalPosition = {wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
                        wp.rcNormalPosition.bottom};
    return p;
}

bool MainWindow::preview(const MSG& message) {
    if (message.message != WM_KEYDOWN || !hwnd_) return false;
    if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
    bool handled = false;
    guarded([&] { handled = logic_->FormKeyDown(static_cast<int>(message.wParam)); });
    return handled;
}

void MainWindow::guarded(const std::function<void()>& event) {
    // The application's default error report for anything an event lets through.
    try {
        event();
    } catch (const std::exception& e) {
        errorReport(e.what(), {});
    }
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam && !shown_) {
            shown_ = true;
            // After this message the window becomes visible; FormShow comes once it is.
            PostMessageW(hwnd_, WM_APP, 0, 0);
        }
        break;
    case WM_APP:
        guarded([&] { logic_->FormShow(); });
        return 0;
    case WM_SIZE:
        if (status_) layout();
        break;
    case WM_TIMER:
        if (wParam == kTimer1Id) {
            guarded([&] { logic_->Timer1Timer(); });
            return 0;
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kImagesButtonId: guarded([&] { logic_->sButtonImagesClick(ui::kImagesTag); }); return 0;
            case kCinesButtonId: guarded([&] { logic_->sButtonImagesClick(ui::kCinesTag); }); return 0;
            case kBreakButtonId: guarded([&] { logic_->sButtonBreakClick(); }); return 0;
            default: break;
            }
        }
        break;
    case WM_CLOSE: {
        ui::CloseAnswer answer = ui::CloseAnswer::AfterRun;
        guarded([&] { answer = logic_->FormCloseQuery(); });
        if (answer == ui::CloseAnswer::Now) DestroyWindow(hwnd_);
        return 0;
    }
    case WM_DESTROY:
        guarded([&] { logic_->FormDestroy(); });
        if (timerRunning_) KillTimer(hwnd_, kTimer1Id);
        timerRunning_ = false;
        if (setup_.quitOnDestroy) PostQuitMessage(0);
        break;
    case WM_NCDESTROY: {
        HWND gone = hwnd_;
        hwnd_ = nullptr;
        SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
        return DefWindowProcW(gone, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace kelvo::win32
