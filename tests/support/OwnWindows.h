// This process's own windows, for tests that drive a modal loop from a second thread: waiting
// for a window to appear, finding a child by its text, pressing buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace ownwindows {

// A visible top-level window of this process with that caption (any caption when empty), other
// than Not; null after 10 s.
HWND Wait(const std::wstring& Caption, HWND Not = nullptr);
// Waits up to 10 s for Window to be gone or hidden.
bool WaitGone(HWND Window);
std::wstring Text(HWND Window);
// The child of Parent with that text, at any depth.
HWND Child(HWND Parent, const std::wstring& Text);
// The text of a message box: its Static child that holds text.
std::wstring BoxText(HWND Box);
// Posted, never sent: a press starts a modal loop the sender would wait inside.
void Press(HWND Button);
void Press(HWND Dialog, int Id);
// Returns once Window's thread has handled everything posted to it before.
void Sync(HWND Window);

// The user's part, run on a second thread while the test's thread runs a modal loop. Ending
// it, the test's thread goes on handling messages until the user is done: the user may still
// send to a window of that thread after the modal loop has ended.
class TUser {
public:
    explicit TUser(std::function<void()> Steps);
    ~TUser();
    TUser(const TUser&) = delete;
    TUser& operator=(const TUser&) = delete;

private:
    HANDLE FDone;
    std::thread FThread;
};

} // namespace ownwindows
