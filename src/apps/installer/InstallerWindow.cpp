#include "InstallerWindow.h"

#include "platform/SystemText.h"

#include <exception>
#include <stdexcept>

namespace kelvo::installer {
namespace {

constexpr const wchar_t* kClassName = L"TForm53";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

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
    if (!RegisterClassExW(&wc)) throw std::runtime_error("Cannot register the installer's window class");
}

std::wstring wideOf(const char* text) { return platform::utf8ToWide(text); }

} // namespace

int controlIdOf(InstallerButton button) {
    for (std::size_t i = 0; i < kInstallerButtons.size(); ++i)
        if (kInstallerButtons[i].button == button) return kFirstButtonId + static_cast<int>(i);
    return kFirstButtonId;
}

InstallerWindow::InstallerWindow(InstallerWindowSetup setup) : setup_(std::move(setup)), logic_(setup_.logic) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClassOnce(instance, &InstallerWindow::windowProc);
    RECT outer{0, 0, kInstallerClientWidth, kInstallerClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    const std::wstring caption = wideOf(kInstallerCaption);
    hwnd_ = CreateWindowExW(0, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("Cannot create the installer's window");
    createButtons();
}

InstallerWindow::~InstallerWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void InstallerWindow::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void InstallerWindow::createButtons() {
    auto* font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& info : kInstallerButtons) {
        const std::wstring caption = wideOf(info.caption);
        HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      info.left, info.top, kInstallerButtonWidth, kInstallerButtonHeight, hwnd_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlIdOf(info.button))),
                                      GetModuleHandleW(nullptr), nullptr);
        if (!button) throw std::runtime_error("Cannot create the installer's buttons");
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

LRESULT CALLBACK InstallerWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* created = static_cast<InstallerWindow*>(create->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<InstallerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT InstallerWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const int id = LOWORD(wParam);
            for (const auto& info : kInstallerButtons)
                if (controlIdOf(info.button) == id) {
                    buttonClick(info.button);
                    return 0;
                }
        }
        break;
    case WM_DESTROY:
        if (setup_.quitOnClose) PostQuitMessage(0);
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

void InstallerWindow::FormShow() {
    try {
        logic_.FormShow();
    } catch (const std::exception& e) {
        report(platform::utf8ToWide(e.what()));
    }
}

void InstallerWindow::buttonClick(InstallerButton button) {
    ShellExecuteTexts texts;
    SHELLEXECUTEINFOW record = shellExecuteRecord(logic_.runAsRequest(button), hwnd_, texts);
    if (!setup_.shellExecuteEx(record)) report(systemErrorReport(GetLastError()));
}

void InstallerWindow::report(const std::wstring& text) {
    if (setup_.report) {
        setup_.report(hwnd_, text);
        return;
    }
    MessageBoxW(hwnd_, text.c_str(), setup_.title.c_str(), MB_OK | MB_ICONSTOP);
}

} // namespace kelvo::installer
