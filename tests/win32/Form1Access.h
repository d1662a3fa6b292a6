// The main window's extraction, reached without a window: the tests of real files call it as
// the update does.
#pragma once

#include <string>
#include <utility>

#include "ui/Unit1.h"

struct TForm1TestAccess {
    static bool ExtractPayload(std::string ResName, std::string TargetPath) {
        return TForm1::ExtractPayload(std::move(ResName), std::move(TargetPath));
    }
    static void ApplyUpdateSet(const std::string& Folder) { TForm1::ApplyUpdateSet(Folder); }
};

inline bool ExtractPayload(std::string ResName, std::string TargetPath) {
    return TForm1TestAccess::ExtractPayload(std::move(ResName), std::move(TargetPath));
}
inline void ApplyUpdateSet(const std::string& Folder) {
    TForm1TestAccess::ApplyUpdateSet(Folder);
}
