// TOwnedHandle: the single, move-only owner of one Win32 object (window, GDI object, DC), and
// the owner types the class library uses. Win32 only.
#pragma once

#include <utility>

#include <windows.h>

template <class H, auto Free>
class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(H Handle) : FHandle(Handle) {}
    ~TOwnedHandle() { Reset(); }
    TOwnedHandle(TOwnedHandle&& Other) noexcept : FHandle(std::exchange(Other.FHandle, nullptr)) {}
    TOwnedHandle& operator=(TOwnedHandle&& Other) noexcept {
        if (this != &Other)
            Reset(std::exchange(Other.FHandle, nullptr));
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;

    H Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    void Reset(H Handle = nullptr) {
        if (FHandle)
            Free(FHandle);
        FHandle = Handle;
    }

private:
    H FHandle = nullptr;
};

// A window is detached from its object before it is destroyed, so that the messages of its
// destruction never reach an object that is itself half destroyed.
inline void DestroyOwnedWindow(HWND Window) {
    SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    DestroyWindow(Window);
}
inline void DeleteGdiObject(HGDIOBJ Object) {
    DeleteObject(Object);
}
inline void DeleteMemoryDC(HDC DC) {
    DeleteDC(DC);
}

using TWindowHandle = TOwnedHandle<HWND, &DestroyOwnedWindow>;
using TFontHandle = TOwnedHandle<HFONT, &DeleteGdiObject>;
using TBrushHandle = TOwnedHandle<HBRUSH, &DeleteGdiObject>;
using TBitmapHandle = TOwnedHandle<HBITMAP, &DeleteGdiObject>;
using TMemoryDCHandle = TOwnedHandle<HDC, &DeleteMemoryDC>;
