// The headless half of scripts/demo: starts the updater on the install the script prepared,
// screenshots the main window, presses "アップデート開始", screenshots the completion dialog,
// answers it and prints where the pictures are and how the updater ended.
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "tests/e2e/Driver.h"

using namespace e2e;

int main() {
    try {
        TUpdater updater;
        HWND main = updater.WaitMainWindow();
        if (!main) {
            std::printf("the main window did not appear; exit code %lu\n", updater.WaitExit());
            return 1;
        }
        const RECT image = ScreenRect(FindChild(main, L"TImage"));
        const ULONGLONG deadline = GetTickCount64() + 5000;
        while (ScreenPixel(image.left + 505, image.top) != 0x0000FF && GetTickCount64() < deadline)
            Settle(main);
        std::printf("screenshot: %s\n", SaveScreenshot(main, "demo-main-window").c_str());
        Click(FindChild(main, L"Button", Wide("アップデート開始")));
        HWND box = updater.WaitMessageBox(Wide("情報"));
        if (!box) {
            HWND error = updater.WaitMessageBox(L"updater", 0);
            if (error)
                std::printf("screenshot: %s\n", SaveScreenshot(error, "demo-error").c_str());
            std::printf("no completion dialog\n");
            return 1;
        }
        std::printf("screenshot: %s\n", SaveScreenshot(box, "demo-completion").c_str());
        PressButton(box, L"OK");
        const DWORD code = updater.WaitExit();
        std::printf("updater exit code: %lu\n", code);
        return code == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("demo: %s\n", e.what());
        return 1;
    }
}
