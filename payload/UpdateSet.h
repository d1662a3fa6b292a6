// UpdateSet: the four payloads the updater carries and the game files they replace, in the
// order they are applied.
#pragma once

#include <array>

struct UpdateEntry {
    const char* ResourceName;
    const char* FileName;
};

inline constexpr std::array<UpdateEntry, 4> UpdateSet = {{
    {"EXE", "KALDOREN.EXE"},
    {"DAT", "mg_data.mbl"},
    {"DAT2", "mg_data2.mbl"},
    {"GRA3", "mg_gra3.mbl"},
}};
