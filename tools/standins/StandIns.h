// Stand-ins for the four game files the updater replaces: deterministic contents of the shipped
// sizes, as compressible as the real files, and the "old" versions a demo install starts from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace StandIns {

struct TFile {
    const char* FileName;
    std::size_t Size;    // what the shipped payload decodes to
    std::size_t OldSize; // the installed version the update replaces
};

// In the order of the update set. Entry 0 is the game's executable.
inline constexpr std::array<TFile, 4> Files = {{
    {"KALDOREN.EXE", 1378304, 1302528},
    {"mg_data.mbl", 3124554, 2940318},
    {"mg_data2.mbl", 54870, 58112},
    {"mg_gra3.mbl", 29045, 27406},
}};

// The contents of file Index (0 to 3) of the update set, or of its old version. For the
// executable, Stub (a PE image) comes first and the rest is overlay the loader ignores; an empty
// Stub gives overlay only, for measurements on the host. Raises std::invalid_argument for an
// Index out of range or a Stub larger than the file.
std::vector<std::uint8_t> Generate(std::size_t Index, const std::vector<std::uint8_t>& Stub,
                                   bool Old = false);

} // namespace StandIns
