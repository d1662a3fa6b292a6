// Deterministic content shaped like game data files, for when no stand-in generator is built:
// Shift-JIS script text, fixed-size records, small-integer tables, palette images, noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Bench {

class Rng {
public:
    explicit Rng(std::uint64_t Seed) : FState(Seed) {}
    std::uint32_t Next() {
        FState = FState * 6364136223846793005u + 1442695040888963407u;
        return std::uint32_t(FState >> 33);
    }
    std::uint32_t Below(std::uint32_t N) { return Next() % N; }

private:
    std::uint64_t FState;
};

inline std::vector<std::uint8_t> MixedContent(std::size_t Size, std::uint64_t Seed = 1) {
    Rng rnd(Seed);
    // A vocabulary of Shift-JIS words: hiragana, katakana and kanji pairs.
    std::vector<std::string> words(400);
    for (auto& w : words) {
        const std::uint32_t chars = 1 + rnd.Below(4);
        for (std::uint32_t i = 0; i < chars; ++i) {
            const std::uint32_t kind = rnd.Below(3);
            const auto lead = kind == 0 ? 0x82u : kind == 1 ? 0x83u : 0x88u + rnd.Below(24);
            const auto trail = kind == 0 ? 0x9Fu + rnd.Below(83) : 0x40u + rnd.Below(0x7F);
            w += char(lead);
            w += char(trail);
        }
    }
    auto word = [&] {
        // Skewed: a few words are very common, as in real script text.
        const std::uint32_t r = rnd.Below(1000);
        return words[r < 500 ? r % 20 : r < 800 ? 20 + r % 80 : 100 + rnd.Below(300)];
    };

    std::vector<std::uint8_t> out;
    out.reserve(Size + 65536);
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(std::uint8_t(v >> (8 * i)));
    };
    while (out.size() < Size) {
        const std::size_t chunk = 4096 + rnd.Below(60000);
        const std::size_t end = out.size() + chunk;
        switch (rnd.Below(10)) {
        case 0:
        case 1:
        case 2: // script: lines of words, names and control codes
            while (out.size() < end) {
                out.push_back('#');
                put(rnd.Below(64), 1);
                const std::uint32_t n = 2 + rnd.Below(12);
                for (std::uint32_t i = 0; i < n; ++i) {
                    const std::string w = word();
                    out.insert(out.end(), w.begin(), w.end());
                    if (rnd.Below(6) == 0) {
                        out.push_back(0x81);
                        out.push_back(0x41);
                    }
                }
                out.push_back(0x81);
                out.push_back(0x42);
                out.push_back('\r');
                out.push_back('\n');
            }
            break;
        case 3:
        case 4: { // records: id, small fields, a name, zero padding
            std::uint32_t id = rnd.Below(1000);
            while (out.size() < end) {
                put(id++, 2);
                put(rnd.Below(8), 1);
                put(rnd.Below(100), 1);
                put(100 * rnd.Below(50), 4);
                const std::string w = word();
                std::string name = w.substr(0, 16);
                name.resize(16, '\0');
                out.insert(out.end(), name.begin(), name.end());
                put(rnd.Below(4) == 0 ? rnd.Below(65536) : 0, 4);
                put(0, 4);
            }
            break;
        }
        case 5: { // tables of small integers with small steps
            std::uint32_t v = rnd.Below(512);
            while (out.size() < end) {
                v += rnd.Below(9);
                put(v, rnd.Below(2) ? 2 : 4);
            }
            break;
        }
        case 6:
        case 7:
        case 8: { // palette image rows, each much like the row above it
            const std::size_t width = 64u << rnd.Below(4);
            std::vector<std::uint8_t> row(width);
            for (auto& px : row)
                px = std::uint8_t(rnd.Below(16));
            while (out.size() < end) {
                for (std::size_t x = 0; x < width;) {
                    const std::size_t runLen = std::min<std::size_t>(width - x, 1 + rnd.Below(24));
                    const std::uint32_t action = rnd.Below(10);
                    for (std::size_t i = 0; i < runLen; ++i, ++x) {
                        if (action == 0)
                            row[x] = std::uint8_t(rnd.Below(256));
                        else if (action == 1)
                            row[x] = row[x - (x > 0 ? 1 : 0)];
                    }
                }
                out.insert(out.end(), row.begin(), row.end());
            }
            break;
        }
        default: // already compressed data
            while (out.size() < end)
                out.push_back(std::uint8_t(rnd.Next()));
            break;
        }
    }
    out.resize(Size);
    return out;
}

} // namespace Bench
