// Windows a test makes or waits for: a top-level window with a chosen title,
// and a watcher that finds the library's message boxes, records them and
// closes them, since they block the calling thread until someone does.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// A top-level window titled `title`, owned by a thread of its own that runs
// its message loop; destroyed when the object goes.
class TopLevelWindow {
public:
    explicit TopLevelWindow(const std::wstring& title);
    ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;
    HWND Handle() const { return window_; }
    void Close();

private:
    std::thread thread_;
    HWND window_ = nullptr;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
};

// Watches, from a thread of its own, for message boxes of this process while
// it lives; each one found is recorded and answered with OK.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<SeenBox> Seen() const;

private:
    void Watch();

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

// How many message boxes the watchers of this process have answered so far.
size_t BoxesAnswered();

}  // namespace bench
