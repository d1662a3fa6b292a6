#include "tools/standins/StandIns.h"
#include "tools/common/SplitMix64.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

// splitmix64: fixed output for a fixed seed on every platform and compiler, which the
// standard library's distributions do not promise.
class TRandom : public TSplitMix64 {
public:
    using TSplitMix64::TSplitMix64;
    unsigned Range(unsigned Low, unsigned High) { return Low + unsigned(Below(High - Low + 1)); }
    bool Chance(unsigned Percent) { return Below(100) < Percent; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&Items)[N]) {
        return Items[Below(N)];
    }
};

void Put(Bytes& Out, const char* Text) {
    Out.insert(Out.end(), Text, Text + std::strlen(Text));
}
void Put16(Bytes& Out, unsigned V) {
    Out.push_back(std::uint8_t(V));
    Out.push_back(std::uint8_t(V >> 8));
}
void Put32(Bytes& Out, std::uint32_t V) {
    Put16(Out, V & 0xFFFF);
    Put16(Out, V >> 16);
}
void PutNumber(Bytes& Out, unsigned V, int Digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*u", Digits, V);
    Put(Out, buf);
}

// The vocabulary of the game's scripts. Narrow literals are Shift-JIS in the binary.
const char* const Speakers[] = {"リオナ", "カイル", "ミズキ", "老人", "兵士", "商人", "？？？"};
const char* const Openers[] = {"「", "「……", "「ねえ、", "「それで、", "「まさか、"};
const char* const Phrases[] = {
    "今日はいい天気だね",     "この先に古い城がある",   "急がないと間に合わない",
    "宝箱の鍵を見つけた",     "村の人たちが待っている", "もう一度だけ話を聞かせて",
    "あの森には入るな",       "剣と盾を持っていこう",   "夜になる前に戻ろう",
    "ありがとう、助かったよ", "どうしてここにいるの",   "北の塔に魔物が出るらしい",
    "少し休んでいこうか",     "これは大切な手紙なんだ", "君の力が必要だ",
};
const char* const Joiners[] = {"、", "。", "けど、", "から、", "……"};
const char* const Closers[] = {"。」", "！」", "？」", "……」", "」"};
const char* const ItemNames[] = {"回復薬",   "上回復薬", "毒消し", "鉄の剣", "銀の剣",
                                 "革の盾",   "魔法の杖", "古い鍵", "地図",   "聖水",
                                 "力の指輪", "旅人の服", "木の弓", "火の石", "氷の石"};
const char* const AsciiWords[] = {
    "bg_town", "bg_forest", "bg_castle", "se_door", "se_step", "bgm_field", "bgm_battle", "chr_rio",
    "chr_kai", "chr_miz",   "face",      "wait",    "fade",    "shake",     "flag",       "jump"};

// Script lines: speaker and speech in Shift-JIS between ASCII commands, CR LF line ends.
Bytes ScriptText(TRandom& R, std::size_t Size) {
    Bytes b;
    unsigned scene = R.Range(1, 400);
    while (b.size() < Size) {
        switch (R.Below(6)) {
        case 0:
            Put(b, "#");
            Put(b, R.Pick(AsciiWords));
            Put(b, " ");
            PutNumber(b, R.Range(0, 60), 3);
            break;
        case 1:
            Put(b, "@scene ");
            PutNumber(b, scene++, 4);
            Put(b, "\r\n@");
            Put(b, R.Pick(AsciiWords));
            Put(b, " ");
            PutNumber(b, R.Range(1, 120), 1);
            break;
        default:
            Put(b, "【");
            Put(b, R.Pick(Speakers));
            Put(b, "】");
            Put(b, R.Pick(Openers));
            for (unsigned n = R.Range(1, 3); n > 0; --n) {
                Put(b, R.Pick(Phrases));
                if (n > 1)
                    Put(b, R.Pick(Joiners));
            }
            Put(b, R.Pick(Closers));
        }
        Put(b, "\r\n");
    }
    b.resize(Size);
    return b;
}

// Fixed-size records: ascending ids, small stats, a padded Shift-JIS name, a few flags.
Bytes RecordTable(TRandom& R, std::size_t Size) {
    Bytes b;
    unsigned id = R.Range(0, 50) * 100;
    while (b.size() < Size) {
        const std::size_t start = b.size();
        Put16(b, id++);
        Put16(b, R.Range(0, 7));
        for (int i = 0; i < 4; ++i)
            Put16(b, R.Chance(30) ? 0 : R.Range(1, 255));
        Put32(b, R.Chance(50) ? 0 : R.Range(10, 50) * 10);
        Put(b, R.Pick(ItemNames));
        b.resize(start + 16 + 20, 0);
        b.push_back(std::uint8_t(R.Chance(80) ? 0 : 1 << R.Below(8)));
        b.resize(start + 40, 0);
    }
    b.resize(Size);
    return b;
}

// A tile map of 16-bit cells: areas of one tile with scattered variants, as maps are drawn.
Bytes TileMap(TRandom& R, std::size_t Size) {
    Bytes b;
    const unsigned width = R.Range(32, 128);
    Put16(b, width);
    Put16(b, unsigned(Size / 2 / width));
    unsigned tile = R.Range(1, 40);
    std::vector<unsigned> above(width, tile);
    for (std::size_t i = 0; b.size() < Size; ++i) {
        const std::size_t x = i % width;
        if (R.Chance(4))
            tile = R.Range(1, 60);
        unsigned cell = R.Chance(50) ? above[x] : tile;
        if (R.Chance(8))
            cell += R.Range(1, 3);
        above[x] = cell;
        Put16(b, cell);
    }
    b.resize(Size);
    return b;
}

// 24-bit pixels: a smooth gradient with sensor-like noise, between margins of flat sprite
// background (Margin pixels of every 16 on each side).
Bytes Picture(TRandom& R, std::size_t Size, unsigned Noise, unsigned Margin) {
    Bytes b;
    const unsigned width = R.Range(64, 320);
    const unsigned base[3] = {R.Range(0, 255), R.Range(0, 255), R.Range(0, 255)};
    const int slope[3] = {int(R.Range(0, 6)) - 3, int(R.Range(0, 6)) - 3, int(R.Range(0, 6)) - 3};
    for (std::size_t i = 0; b.size() < Size; ++i) {
        const unsigned x = unsigned(i % width);
        const unsigned y = unsigned(i / width);
        const bool background = x < width * Margin / 16 || x >= width - width * Margin / 16;
        for (int c = 0; c < 3; ++c) {
            if (background) {
                b.push_back(c == 1 ? 0xFF : 0x00); // the transparent key colour
                continue;
            }
            const int v =
                int(base[c]) + slope[c] * int(x + y) / 4 + int(R.Below(2 * Noise + 1)) - int(Noise);
            b.push_back(std::uint8_t(v));
        }
    }
    b.resize(Size);
    return b;
}

// 8-bit palette indices: a ramp of sixteen shades of one colour band, dithered.
Bytes PalettePicture(TRandom& R, std::size_t Size) {
    Bytes b;
    const unsigned width = R.Range(64, 320);
    const unsigned band = R.Range(0, 15) * 16;
    for (std::size_t i = 0; b.size() < Size; ++i) {
        const unsigned x = unsigned(i % width);
        const unsigned y = unsigned(i / width);
        int v = int((x + y) * 12 / width);
        if (R.Chance(70))
            v += int(R.Below(5)) - 2;
        b.push_back(std::uint8_t(band + unsigned(std::clamp(v, 0, 15))));
    }
    b.resize(Size);
    return b;
}

// Already-compressed data (sound, packed archives): no redundancy at all.
Bytes Noise(TRandom& R, std::size_t Size) {
    Bytes b(Size);
    for (auto& c : b)
        c = std::uint8_t(R.Next());
    return b;
}

// Machine code of a 32-bit program. Each function keeps to a few frame slots and registers
// and calls a few neighbours and imports, which is where real code's redundancy comes from.
Bytes Code(TRandom& R, std::size_t Size) {
    Bytes b;
    const std::uint8_t slots[] = {0xFC, 0xF8, 0xF4, 0xF0, 0xEC, 0x08, 0x0C, 0x10, 0x14};
    const std::uint8_t regs[] = {0x45, 0x4D, 0x55, 0x75, 0x7D}; // eax ecx edx esi edi, [ebp+d8]
    std::vector<std::uint32_t> imports(80);
    for (std::size_t i = 0; i < imports.size(); ++i)
        imports[i] = 0x52A000 + std::uint32_t(i) * 4;
    std::vector<std::uint32_t> starts = {0x401000};
    while (b.size() < Size) {
        const std::uint32_t here = 0x401000 + std::uint32_t(b.size());
        starts.push_back(here);
        std::uint8_t mine[3];
        for (auto& m : mine)
            m = R.Pick(slots);
        const std::uint8_t reg = R.Pick(regs);
        const std::size_t import = R.Below(imports.size());
        b.insert(b.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC});
        b.push_back(std::uint8_t(R.Range(1, 8) * 4));
        const bool saves = R.Chance(60);
        if (saves)
            b.insert(b.end(), {0x53, 0x56, 0x57});
        for (unsigned n = R.Range(4, 24); n > 0; --n) {
            switch (R.Below(10)) {
            case 0:
            case 1:
            case 2:
                b.push_back(R.Chance(60) ? 0x8B : 0x89);
                b.push_back(R.Chance(70) ? reg : R.Pick(regs));
                b.push_back(mine[R.Below(3)]);
                break;
            case 3: {
                // A call to a recent function: relative, so its bytes depend on where it is.
                const std::uint32_t at = 0x401000 + std::uint32_t(b.size());
                const std::uint32_t to =
                    starts[starts.size() - 1 - R.Below(std::min<std::size_t>(starts.size(), 12))];
                b.push_back(0xE8);
                Put32(b, to - at - 5);
                break;
            }
            case 4:
                b.insert(b.end(), {0xFF, 0x15});
                Put32(b, imports[R.Chance(60) ? import : R.Below(imports.size())]);
                break;
            case 5:
                b.push_back(0x68);
                Put32(b, 0x530000 + std::uint32_t(b.size() / 64 + R.Below(16)) * 4);
                break;
            case 6:
                b.insert(b.end(),
                         {0x85, 0xC0, R.Chance(50) ? std::uint8_t(0x74) : std::uint8_t(0x75)});
                b.push_back(std::uint8_t(R.Range(2, 40)));
                break;
            case 7:
                b.insert(b.end(), {0x8D, R.Pick(regs), mine[R.Below(3)], 0x50});
                break;
            case 8:
                b.insert(b.end(), {0x83, 0xC4});
                b.push_back(std::uint8_t(R.Range(1, 4) * 4));
                break;
            default:
                b.insert(b.end(), {0x33, 0xC0});
            }
        }
        if (saves)
            b.insert(b.end(), {0x5F, 0x5E, 0x5B});
        b.insert(b.end(), {0x8B, 0xE5, 0x5D, 0xC3});
        while (b.size() % 16)
            b.push_back(0xCC);
    }
    b.resize(Size);
    return b;
}

// A string section: ASCII names and formats and Shift-JIS messages, NUL-terminated, aligned.
Bytes Strings(TRandom& R, std::size_t Size) {
    const char* const ascii[] = {
        "GetWindowTextA",   "CreateFileA",    "data\\bgm%02d.ogg",   "save%03d.dat",
        "DirectDrawCreate", "Direct3DCreate", "WaitForSingleObject", "%s\\%s",
        "config.ini",       "window"};
    Bytes b;
    while (b.size() < Size) {
        if (R.Chance(50)) {
            Put(b, R.Pick(ascii));
        } else {
            Put(b, R.Pick(Phrases));
            Put(b, R.Pick(Closers));
        }
        b.push_back(0);
        while (b.size() % 4)
            b.push_back(0);
    }
    b.resize(Size);
    return b;
}

enum class EKind {
    Script,
    Records,
    Tiles,
    Picture,
    NoisyPicture,
    PalettePicture,
    Noise,
    Code,
    Strings
};

Bytes Section(TRandom& R, EKind Kind, std::size_t Size) {
    switch (Kind) {
    case EKind::Script:
        return ScriptText(R, Size);
    case EKind::Records:
        return RecordTable(R, Size);
    case EKind::Tiles:
        return TileMap(R, Size);
    case EKind::Picture:
        return Picture(R, Size, 2, 2);
    case EKind::NoisyPicture:
        return Picture(R, Size, 16, 1);
    case EKind::PalettePicture:
        return PalettePicture(R, Size);
    case EKind::Noise:
        return Noise(R, Size);
    case EKind::Code:
        return Code(R, Size);
    case EKind::Strings:
        return Strings(R, Size);
    }
    return {};
}

struct TShare {
    EKind Kind;
    unsigned Weight;
};

// Fills buffers with sections of random sizes around Typical whose kinds keep to the weights
// over everything it fills: each section goes to the kind furthest below its share, so that
// the stand-ins' compressibility does not hang on the luck of a few draws.
class TMixer {
public:
    TMixer(std::size_t Typical, std::vector<TShare> Shares)
        : FTypical(Typical), FShares(std::move(Shares)), FFilled(FShares.size(), 0) {
        for (const auto& s : FShares)
            FTotalWeight += s.Weight;
    }

    Bytes Fill(TRandom& R, std::size_t Size) {
        Bytes b;
        b.reserve(Size);
        while (b.size() < Size) {
            const std::size_t part =
                std::min(Size - b.size(), FTypical / 2 + R.Below(FTypical + 1));
            FAll += part;
            std::size_t k = 0;
            double furthest = -1e300;
            for (std::size_t i = 0; i < FShares.size(); ++i) {
                const double behind =
                    double(FAll) * FShares[i].Weight / FTotalWeight - double(FFilled[i]);
                if (behind > furthest) {
                    furthest = behind;
                    k = i;
                }
            }
            FFilled[k] += part;
            const Bytes piece = Section(R, FShares[k].Kind, part);
            b.insert(b.end(), piece.begin(), piece.end());
        }
        return b;
    }

private:
    std::size_t FTypical;
    std::vector<TShare> FShares;
    std::vector<std::size_t> FFilled;
    std::size_t FAll = 0;
    unsigned FTotalWeight = 0;
};

// A data archive: "MBL1", the entry count, a directory of names, offsets and sizes, then the
// entries. The directory is written last, once every entry's place is known.
Bytes Archive(TRandom& R, std::size_t Size, std::size_t Entries, TMixer Mixer) {
    const std::size_t head = 8 + 24 * Entries;
    if (Size < head + Entries)
        throw std::invalid_argument("archive too small for its directory");
    std::vector<std::size_t> sizes(Entries, 1);
    std::size_t left = Size - head - Entries;
    for (std::size_t i = 0; i + 1 < Entries; ++i) {
        const std::size_t share = R.Below(2 * left / (Entries - i) + 1);
        const std::size_t s = std::min(left, share);
        sizes[i] += s;
        left -= s;
    }
    sizes[Entries - 1] += left;

    Bytes b;
    Put(b, "MBL1");
    Put32(b, std::uint32_t(Entries));
    std::size_t offset = head;
    for (std::size_t i = 0; i < Entries; ++i) {
        const std::size_t start = b.size();
        Put(b, R.Pick(AsciiWords));
        Put(b, "_");
        PutNumber(b, unsigned(i), 3);
        b.resize(start + 16, 0);
        Put32(b, std::uint32_t(offset));
        Put32(b, std::uint32_t(sizes[i]));
        offset += sizes[i];
    }
    for (std::size_t i = 0; i < Entries; ++i) {
        const Bytes entry = Mixer.Fill(R, sizes[i]);
        b.insert(b.end(), entry.begin(), entry.end());
    }
    return b;
}

} // namespace

std::vector<std::uint8_t> StandIns::Generate(std::size_t Index,
                                             const std::vector<std::uint8_t>& Stub, bool Old) {
    if (Index >= Files.size())
        throw std::invalid_argument("no stand-in file " + std::to_string(Index));
    const std::size_t size = Old ? Files[Index].OldSize : Files[Index].Size;
    TRandom r(0x6B616C646F72656Eu + Index * 0x1000 + (Old ? 1 : 0));
    using enum EKind;
    switch (Index) {
    case 0: {
        if (Stub.size() > size)
            throw std::invalid_argument("the program image (" + std::to_string(Stub.size()) +
                                        " bytes) is larger than the file (" + std::to_string(size) +
                                        " bytes)");
        Bytes b = Stub;
        TMixer overlay(24576, {{Code, 46},
                               {Strings, 10},
                               {Picture, 10},
                               {Records, 8},
                               {Noise, 17},
                               {NoisyPicture, 6},
                               {PalettePicture, 3}});
        const Bytes rest = overlay.Fill(r, size - Stub.size());
        b.insert(b.end(), rest.begin(), rest.end());
        return b;
    }
    case 1:
        return Archive(r, size, 180,
                       TMixer(8192, {{Script, 20},
                                     {Records, 12},
                                     {Tiles, 9},
                                     {PalettePicture, 12},
                                     {Picture, 6},
                                     {NoisyPicture, 20},
                                     {Noise, 21}}));
    case 2:
        return Archive(r, size, 12,
                       TMixer(1024, {{Script, 20},
                                     {Records, 18},
                                     {PalettePicture, 10},
                                     {NoisyPicture, 28},
                                     {Noise, 24}}));
    default:
        return Archive(r, size, 4,
                       TMixer(2048, {{NoisyPicture, 74}, {PalettePicture, 6}, {Noise, 20}}));
    }
}
