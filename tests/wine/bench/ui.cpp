#include "bench/ui.h"

#include <atomic>
#include <stdexcept>

namespace bench {
namespace {

std::atomic<size_t> answered{0};

const wchar_t kWindowClass[] = L"KciBenchWindow";
const wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageBoxTextId = 0xFFFF;  // the static control that holds a message box's text

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

void RegisterWindowClass() {
    static const ATOM atom = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassW(&windowClass);
    }();
    if (atom == 0) throw std::runtime_error("cannot register the bench window class");
}

// The text the window holds, read without a message: under Wine, a
// WM_GETTEXT sent to another thread's box keeps a handle in this process
// while the sending thread lives, which a census would count as a leak.
std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    InternalGetWindowText(window, text, 1024);
    return text;
}

BOOL CALLBACK CollectDialogs(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::wstring(className) == kDialogClass)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

}  // namespace

TopLevelWindow::TopLevelWindow(const std::wstring& title) {
    RegisterWindowClass();
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, title, ready] {
        window_ = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetEvent(ready);
        if (window_ == nullptr) return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    if (window_ == nullptr) {
        thread_.join();
        throw std::runtime_error("cannot create a top-level window (is there a display?)");
    }
}

TopLevelWindow::~TopLevelWindow() { Close(); }

void TopLevelWindow::Close() {
    if (!thread_.joinable()) return;
    PostMessageW(window_, WM_CLOSE, 0, 0);  // destroyed on its own thread, which then leaves its loop
    thread_.join();
    window_ = nullptr;
}

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> MessageBoxWatcher::Seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void MessageBoxWatcher::Watch() {
    while (!stop_) {
        std::vector<HWND> dialogs;
        EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            SeenBox box;
            box.caption = WindowText(dialog);
            HWND text = GetDlgItem(dialog, kMessageBoxTextId);
            if (text != nullptr) box.text = WindowText(text);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(box);
            }
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ++answered;
            // Wait for it to be hidden, so that it is recorded once. (Under
            // Xvfb, Wine destroys it about two seconds after hiding it.)
            for (int i = 0; i < 200 && IsWindowVisible(dialog); ++i) Sleep(10);
        }
        Sleep(20);
    }
}

size_t BoxesAnswered() { return answered; }

}  // namespace bench
