// The stand-in for the game's program: a real Windows executable that says what it is and
// ends. The stand-in generator pads it to the game's size with overlay data.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxW(nullptr, L"これはアップデートの試験用に用意した代わりのプログラムです。",
                L"KALDOREN", MB_OK | MB_ICONINFORMATION);
    return 0;
}
