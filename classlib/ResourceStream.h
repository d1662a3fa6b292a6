// TResourceStream: a read-only view over a module's locked resource data, nothing copied;
// HInstance: the program's own module.
#pragma once

#include <string>

#include "classlib/Streams.h"

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

HINSTANCE HInstance();

class TResourceStream : public TCustomMemoryStream {
public:
    // ResType is a resource type as FindResourceW takes it (RT_RCDATA). EResNotFound with
    // ResName when the module has no such resource or it cannot be loaded.
    TResourceStream(HINSTANCE Instance, const std::string& ResName, const wchar_t* ResType);
    ~TResourceStream() override;

private:
    void* FResData = nullptr;
};
