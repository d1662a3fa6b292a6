// A model of the packed payload format for tests, the fuzzer and the benchmark:
// ReferenceDecode, a plain byte-at-a-time decoder, and RandomPayload, a generator of valid
// token streams of every kind together with the bytes they stand for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "payload/PackedStream.h"
#include "tools/common/SplitMix64.h"

namespace Model {

// Decodes Payload (header and body) as the format reads, one byte at a time, checking every
// limit of a well-formed payload. nullopt for anything the decoder must reject, short input
// included.
inline std::optional<std::vector<std::uint8_t>> ReferenceDecode(const std::uint8_t* Payload,
                                                                std::size_t Size) {
    if (Size < Packed::HeaderSize)
        return std::nullopt;
    auto field = [&](std::size_t At) {
        return std::uint32_t(Payload[At]) | std::uint32_t(Payload[At + 1]) << 8 |
               std::uint32_t(Payload[At + 2]) << 16 | std::uint32_t(Payload[At + 3]) << 24;
    };
    const std::uint32_t packed = field(4), unpacked = field(8);
    if (std::memcmp(Payload, Packed::Signature, 4) != 0 || field(12) != 0 ||
        packed >= 0x80000000u || unpacked >= 0x80000000u || Size - Packed::HeaderSize < packed)
        return std::nullopt;
    const std::uint8_t* body = Payload + Packed::HeaderSize;
    std::size_t pos = 0;
    bool truncated = false;
    // A fetch past the body reads 0; that is fine for a flag byte never used, fatal for a token.
    auto next = [&]() -> unsigned {
        if (pos++ < packed)
            return body[pos - 1];
        truncated = true;
        return 0;
    };
    std::vector<std::uint8_t> out;
    unsigned flags = pos < packed ? body[pos] : 0;
    ++pos;
    unsigned tokens = 0;
    while (out.size() < unpacked) {
        if (pos > packed)
            return std::nullopt;
        const bool control = flags & 0x80;
        flags <<= 1;
        if (!control) {
            out.push_back(std::uint8_t(next()));
        } else {
            const unsigned b1 = next();
            if (b1 < 0x80 && (b1 & 3) == 3) {
                for (unsigned i = 0; i < (b1 >> 2) + 9; ++i)
                    out.push_back(std::uint8_t(next()));
            } else {
                std::size_t dist, len;
                if (b1 < 0x80) {
                    dist = (b1 >> 2) + 1;
                    len = (b1 & 3) + 2;
                } else if (b1 < 0xC0) {
                    const unsigned b2 = next();
                    dist = ((b1 & 0x3F) << 4) + (b2 >> 4) + 1;
                    len = (b2 & 0x0F) + 3;
                } else {
                    const unsigned b2 = next(), b3 = next();
                    dist = ((b1 & 0x3F) << 8) + b2 + 1;
                    len = b3 == 0xFF ? 4096 : b3 == 0xFE ? 1024 : b3 == 0xFD ? 256 : b3 + 3;
                }
                if (dist > out.size())
                    return std::nullopt;
                for (std::size_t i = 0; i < len; ++i)
                    out.push_back(out[out.size() - dist]);
            }
        }
        if (truncated || out.size() > unpacked)
            return std::nullopt;
        if (++tokens == 8) {
            tokens = 0;
            flags = pos < packed ? body[pos] : 0;
            ++pos;
        }
    }
    // Nothing may follow the last token but the flag byte fetched after a completed group.
    if (!(pos == packed || (tokens == 0 && pos == packed + 1)))
        return std::nullopt;
    return out;
}

inline std::optional<std::vector<std::uint8_t>>
ReferenceDecode(const std::vector<std::uint8_t>& Payload) {
    return ReferenceDecode(Payload.data(), Payload.size());
}

// The model's draws, from the shared fixed-seed stream.
class Random : public TSplitMix64 {
public:
    using TSplitMix64::TSplitMix64;
    // Uniform enough in [Lo, Hi].
    std::size_t Range(std::size_t Lo, std::size_t Hi) {
        return Lo + std::size_t(Next() % (std::uint64_t(Hi) - Lo + 1));
    }
    bool Chance(unsigned Percent) { return Next() % 100 < Percent; }
};

// The 16-byte header in front of Body. PackedSize defaults to the body's length.
inline std::vector<std::uint8_t> WithHeader(const std::vector<std::uint8_t>& Body,
                                            std::uint32_t UnpackedSize,
                                            std::optional<std::uint32_t> PackedSize = {},
                                            std::uint32_t Reserved = 0,
                                            const std::uint8_t* Signature = Packed::Signature) {
    std::vector<std::uint8_t> p(Signature, Signature + 4);
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p.push_back(std::uint8_t(v >> (8 * i)));
    };
    put32(PackedSize.value_or(std::uint32_t(Body.size())));
    put32(UnpackedSize);
    put32(Reserved);
    p.insert(p.end(), Body.begin(), Body.end());
    return p;
}

// Writes tokens, their flag bytes and the bytes they stand for. It encodes exactly what it is
// told: distances and lengths are the caller's to keep valid.
class TokenWriter {
public:
    TokenWriter& Literal(std::uint8_t B) {
        Token(false);
        FBody.push_back(B);
        FOutput.push_back(B);
        return *this;
    }
    // 9 to 40 bytes.
    TokenWriter& Run(const std::vector<std::uint8_t>& Bytes) {
        Token(true);
        FBody.push_back(std::uint8_t((Bytes.size() - 9) << 2 | 3));
        FBody.insert(FBody.end(), Bytes.begin(), Bytes.end());
        FOutput.insert(FOutput.end(), Bytes.begin(), Bytes.end());
        return *this;
    }
    // Distance 1 to 32, length 2 to 4.
    TokenWriter& Short(std::size_t Dist, std::size_t Len) {
        Token(true);
        FBody.push_back(std::uint8_t((Dist - 1) << 2 | (Len - 2)));
        return Copy(Dist, Len);
    }
    // Distance 1 to 1024, length 3 to 18.
    TokenWriter& Near(std::size_t Dist, std::size_t Len) {
        Token(true);
        FBody.push_back(std::uint8_t(0x80 | (Dist - 1) >> 4));
        FBody.push_back(std::uint8_t(((Dist - 1) & 15) << 4 | (Len - 3)));
        return Copy(Dist, Len);
    }
    // Distance 1 to 16384; Code is the length byte (FF 4096, FE 1024, FD 256, else Code + 3).
    TokenWriter& Far(std::size_t Dist, unsigned Code) {
        Token(true);
        FBody.push_back(std::uint8_t(0xC0 | (Dist - 1) >> 8));
        FBody.push_back(std::uint8_t((Dist - 1) & 0xFF));
        FBody.push_back(std::uint8_t(Code));
        return Copy(Dist, FarLength(Code));
    }
    // Ors Bits into the flag bits of the last group that no token uses.
    TokenWriter& UnusedFlagBits(std::uint8_t Bits) {
        if (FTokens < 8)
            FBody[FFlagAt] = std::uint8_t(FBody[FFlagAt] | (Bits & (0xFFu >> FTokens)));
        return *this;
    }
    // The body, with the closing flag byte after a last token that completes a group.
    std::vector<std::uint8_t> Body(bool ClosingFlag = true, std::uint8_t Closing = 0) const {
        std::vector<std::uint8_t> b = FBody;
        if (FTokens == 8 && ClosingFlag)
            b.push_back(Closing);
        return b;
    }
    std::vector<std::uint8_t> Payload(bool ClosingFlag = true) const {
        return WithHeader(Body(ClosingFlag), std::uint32_t(FOutput.size()));
    }
    const std::vector<std::uint8_t>& Output() const { return FOutput; }

    static std::size_t FarLength(unsigned Code) {
        return Code == 0xFF ? 4096 : Code == 0xFE ? 1024 : Code == 0xFD ? 256 : Code + 3;
    }

private:
    void Token(bool Control) {
        if (FTokens == 8) {
            FFlagAt = FBody.size();
            FBody.push_back(0);
            FTokens = 0;
        }
        if (Control)
            FBody[FFlagAt] = std::uint8_t(FBody[FFlagAt] | 0x80u >> FTokens);
        ++FTokens;
    }
    TokenWriter& Copy(std::size_t Dist, std::size_t Len) {
        for (std::size_t i = 0; i < Len; ++i)
            FOutput.push_back(FOutput[FOutput.size() - Dist]);
        return *this;
    }

    std::vector<std::uint8_t> FBody;
    std::vector<std::uint8_t> FOutput;
    std::size_t FFlagAt = 0;
    unsigned FTokens = 8;
};

struct RandomOptions {
    // Per cent of tokens that are single literals, literal runs, short, near and far matches.
    unsigned Literal = 40, Run = 5, Short = 25, Near = 20, Far = 10;
    // Prefer distances 1..16, where wide copies overlap their own output.
    bool SmallDistances = true;
    // Fill the flag bits no token uses, and the closing flag byte, with noise instead of 0.
    bool NoisyUnusedBits = false;
    // Leave out the closing flag byte after a last token that completes a group.
    bool DropClosingFlag = false;
};

struct Sample {
    std::vector<std::uint8_t> Payload;
    std::vector<std::uint8_t> Output;
};

// A valid payload of random tokens of every kind decoding to exactly Size bytes.
inline Sample RandomPayload(std::uint64_t Seed, std::size_t Size, const RandomOptions& Opt = {}) {
    Random rnd(Seed);
    TokenWriter w;
    auto distance = [&](std::size_t Max) {
        Max = std::min(Max, w.Output().size());
        if (Opt.SmallDistances && rnd.Chance(50))
            return rnd.Range(1, std::min<std::size_t>(Max, 16));
        return rnd.Range(1, Max);
    };
    while (w.Output().size() < Size) {
        const std::size_t left = Size - w.Output().size();
        unsigned pick = unsigned(rnd.Range(0, 99));
        if (w.Output().empty() || pick < Opt.Literal) {
            w.Literal(std::uint8_t(rnd.Next()));
        } else if ((pick -= Opt.Literal) < Opt.Run) {
            std::vector<std::uint8_t> bytes(std::min(rnd.Range(9, 40), left));
            for (auto& b : bytes)
                b = std::uint8_t(rnd.Next());
            if (bytes.size() >= 9)
                w.Run(bytes);
            else
                w.Literal(bytes[0]);
        } else if ((pick -= Opt.Run) < Opt.Short) {
            if (left >= 2)
                w.Short(distance(32), rnd.Range(2, std::min<std::size_t>(4, left)));
            else
                w.Literal(std::uint8_t(rnd.Next()));
        } else if ((pick -= Opt.Short) < Opt.Near) {
            if (left >= 3)
                w.Near(distance(1024), rnd.Range(3, std::min<std::size_t>(18, left)));
            else
                w.Literal(std::uint8_t(rnd.Next()));
        } else {
            const unsigned code = unsigned(rnd.Range(0, 255));
            if (TokenWriter::FarLength(code) <= left)
                w.Far(distance(16384), code);
            else
                w.Literal(std::uint8_t(rnd.Next()));
        }
    }
    if (Opt.NoisyUnusedBits)
        w.UnusedFlagBits(std::uint8_t(rnd.Next()));
    const auto body = w.Body(!Opt.DropClosingFlag, Opt.NoisyUnusedBits ? 0xA5 : 0);
    return {WithHeader(body, std::uint32_t(Size)), w.Output()};
}

} // namespace Model
