#include "classlib/ResourceStream.h"

#include <windows.h>

#include "classlib/Exceptions.h"
#include "classlib/Win32Text.h"

HINSTANCE HInstance() {
    return GetModuleHandleW(nullptr);
}

TResourceStream::TResourceStream(HINSTANCE Instance, const std::string& ResName,
                                 const wchar_t* ResType) {
    const std::wstring name = ToWide(ResName);
    HRSRC info = FindResourceW(Instance, name.c_str(), ResType);
    HGLOBAL data = info ? LoadResource(Instance, info) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        throw EResNotFound(ResName);
    FResData = data;
    SetPointer(bytes, SizeofResource(Instance, info));
}

TResourceStream::~TResourceStream() {
    // Both are no-ops for a loaded module's resources; kept so the pairing reads as written.
    UnlockResource(FResData);
    FreeResource(FResData);
}
