// What the end-to-end driver works the updater with: the game folder and the registry record a
// case starts from, the updater's process, its windows (found by class and caption, read,
// pressed, measured), screen pixels and screenshots. Nothing here knows the updater's code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace e2e {

using testfiles::Bytes;

inline constexpr DWORD WindowTimeoutMs = 20000;
inline constexpr DWORD ExitTimeoutMs = 20000;

// The four game files, in the order the update writes them.
extern const char* const GameFiles[4];

// The build's stand-ins: what the update writes, and the old install it starts from.
Bytes NewFile(const std::string& Name);
Bytes OldFile(const std::string& Name);

// A game install of the old files in a folder of its own, removed afterwards. Subfolder, when
// given, is the name of the game's folder inside the private one (Japanese allowed).
class TGameFolder {
public:
    explicit TGameFolder(const std::string& Subfolder = "");
    // Shift-JIS, no trailing separator.
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& Name) const { return FPath + "\\" + Name; }
    // True when every game file holds exactly the new (or the old) content.
    bool Holds(const std::string& Name, bool New) const;

private:
    testfiles::TempFolder FRoot;
    std::string FPath;
};

// HKCU\Software\Pendravik\KALDOREN "GameDir". Each case states the record it starts from.
void ClearRecord();
void RecordGameDir(const std::string& ShiftJisText);
void RecordGameDirAsNumber(DWORD Value);

// One run of the updater; killed if still running when the object goes.
class TUpdater {
public:
    TUpdater();
    ~TUpdater();
    TUpdater(const TUpdater&) = delete;
    TUpdater& operator=(const TUpdater&) = delete;

    DWORD ProcessId() const { return FInfo.dwProcessId; }
    HANDLE Process() const { return FInfo.hProcess; }
    // The exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitExit(DWORD TimeoutMs = ExitTimeoutMs) const;
    bool Running() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT; }

    // A visible top-level window of this process with that class and caption (UTF-16), waited
    // for; null when the process ends or the time is up first.
    HWND WaitWindow(const wchar_t* ClassName, const std::wstring& Caption,
                    DWORD TimeoutMs = WindowTimeoutMs) const;
    HWND WaitMainWindow() const;
    HWND WaitMessageBox(const std::wstring& Caption, DWORD TimeoutMs = WindowTimeoutMs) const;
    // Every visible top-level window of the process.
    std::vector<HWND> Windows() const;

private:
    PROCESS_INFORMATION FInfo{};
};

std::wstring WindowText(HWND Window);
// Returns after Window's thread has handled everything sent before and has painted it.
void Settle(HWND Window);

// A message box as the user sees it: its text, whether it shows an icon, its buttons.
struct TMessageBoxView {
    std::wstring Text;
    bool HasIcon = false;
    std::vector<std::wstring> Buttons;
};
TMessageBoxView ReadMessageBox(HWND Box);
// Presses the box's button with that text ("OK").
void PressButton(HWND Box, const std::wstring& Text);
// The child of Parent with that class (and caption, when given).
HWND FindChild(HWND Parent, const wchar_t* ClassName, const std::wstring& Caption = L"");
void Click(HWND Button);

RECT ScreenRect(HWND Window);
// The screen's pixel as 0xRRGGBB.
std::uint32_t ScreenPixel(int X, int Y);
// Saves what Window covers on screen as a BMP in the run's artifacts folder; returns its path.
std::string SaveScreenshot(HWND Window, const std::string& Name);

// UTF-16 of a Shift-JIS literal, for comparing with what windows show.
std::wstring Wide(const std::string& ShiftJis);

} // namespace e2e
