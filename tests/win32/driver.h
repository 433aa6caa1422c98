#pragma once
// Drives the program from inside its own message loops: steps run in order from a timer,
// which every loop dispatches, modal ones (message boxes, file dialogs, the Add dialog)
// included. A step that answers false is not ready yet and is tried again on the next tick.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "stream/utf8_path.h"

namespace bq::test {

class Driver {
  public:
    Driver() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Driver::proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "BoxquillTestDriver";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, "BoxquillTestDriver", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetTimer(window_, 1, 20, nullptr);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    ~Driver() {
        KillTimer(window_, 1);
        DestroyWindow(window_);
        if (!steps_.empty()) {
            ADD_FAILURE() << "steps left undone, the first: " << steps_.front().what;
        }
    }

    void then(std::string what, std::function<bool()> step) {
        steps_.push_back({std::move(what), std::move(step)});
    }
    bool done() const { return steps_.empty(); }

  private:
    struct Step {
        std::string what;
        std::function<bool()> run;
    };

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_TIMER) {
            if (auto* self = reinterpret_cast<Driver*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
                self->tick();
            }
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void tick() {
        if (steps_.empty()) {
            return;
        }
        // Taken off before it runs: a step that opens a modal loop lets the next ones run
        // from inside that loop, so they can answer the dialog it opened.
        Step step = std::move(steps_.front());
        steps_.pop_front();
        const auto now = std::chrono::steady_clock::now();
        if (waitingSince_ == std::chrono::steady_clock::time_point{}) {
            waitingSince_ = now;
        }
        if (step.run()) {
            waitingSince_ = {};
            return;
        }
        if (now - waitingSince_ > std::chrono::seconds(30)) {
            // A dialog that never comes would block the test for ever.
            std::fprintf(stderr, "Timed out waiting for: %s\n", step.what.c_str());
            std::fflush(stderr);
            ExitProcess(3);
        }
        steps_.push_front(std::move(step));
    }

    HWND window_ = nullptr;
    std::deque<Step> steps_;
    std::chrono::steady_clock::time_point waitingSince_{};
};

// The texts of a dialog's "Static" children, joined (a message box's text is one of them).
inline std::string staticTexts(HWND dialog) {
    std::string texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            char className[32] = {};
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Static") == 0) {
                char text[1024] = {};
                GetWindowTextA(child, text, sizeof text);
                *reinterpret_cast<std::string*>(param) += text;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

inline HWND findDialog(const char* caption) {
    return FindWindowA("#32770", caption);
}

// The Properties dialog, whose caption names its box: "jp2h JP2 Header - Properties".
inline HWND findProperties() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            char caption[256] = {};
            GetWindowTextA(window, caption, sizeof caption);
            if (std::string_view(caption).ends_with("Properties") && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(param) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::string windowText(HWND window) {
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// A control's text as UTF-8, asked of the control itself (GetWindowText would not ask one
// in another process).
inline std::string controlTextUtf8(HWND control) {
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return narrow(text);
}

}  // namespace bq::test
