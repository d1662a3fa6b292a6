// WinMain: the single-instance guard, the forms in their order, the message loop, and the display
// of an exception that escapes start-up.
#include <windows.h>

#include "classlib/Forms.h"
#include "ui/Unit1.h"
#include "ui/Unit3.h"

namespace {

// Held for the life of the process and never closed: the system closes it at exit, and until
// then every later copy finds the name taken.
HANDLE Mutex = nullptr;

// DLLs from the system folder only, never from the program's folder or the current one, where a
// downloaded updater often sits beside whatever else was downloaded. Looked up at run time:
// systems without the call keep their defaults rather than refusing to start.
void RestrictDllSearch() {
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = kernel ? reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(
                                  GetProcAddress(kernel, "SetDefaultDllDirectories")))
                            : nullptr;
    if (set)
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();

    Mutex = CreateMutexA(nullptr, TRUE, "QZV_SETUP");
    // Not 0: another copy holds the mutex, or an object of another kind holds the name.
    if (GetLastError() != 0)
        return 1;

    try {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->CreateForm(Form3);
        Application->Run();
    } catch (...) {
        HandleException();
    }
    ReleaseMutex(Mutex);
    return 0;
}
