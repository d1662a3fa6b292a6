// TSplitMix64: a fixed-seed generator whose stream is the same on every platform and compiler,
// which the standard library's distributions do not promise. Stand-ins, tests and seeds that
// must come out identical on every run draw from it.
#pragma once

#include <cstddef>
#include <cstdint>

class TSplitMix64 {
public:
    explicit TSplitMix64(std::uint64_t Seed) : FState(Seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t N) { return std::size_t(Next() % N); }

private:
    std::uint64_t FState;
};
