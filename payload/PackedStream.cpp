#include "payload/PackedStream.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"
#include "classlib/Streams.h"

namespace {

using namespace Packed;

// The decode's working storage. Module-level by design: one decode at a time.
std::uint8_t* InputBuffer = nullptr;
std::uint8_t* Window = nullptr;

struct BufferRelease {
    BufferRelease() = default;
    BufferRelease(const BufferRelease&) = delete;
    BufferRelease& operator=(const BufferRelease&) = delete;
    ~BufferRelease() {
        delete[] InputBuffer;
        InputBuffer = nullptr;
        delete[] Window;
        Window = nullptr;
    }
};

std::uint8_t* Allocate(std::size_t Size) {
    auto* p = new (std::nothrow) std::uint8_t[Size];
    if (!p)
        throw EOutOfMemory();
    return p;
}

[[noreturn]] void Malformed() {
    throw EReadError(Messages::SInvalidPackedData);
}

std::uint32_t LoadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The fast path reads tokens and builds repeat patterns with whole-word loads.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t MaxRunLength = 40;
// The most one group (eight tokens after its flag byte) reads, the next flag byte included,
// and the most it produces.
constexpr std::size_t MaxGroupInput = 8 * (1 + MaxRunLength) + 1;
constexpr std::size_t MaxGroupOutput = 8 * MaxTokenLength;
// How far past a token's end the fast path may write: a literal run is always copied as
// MaxRunLength bytes, and every other copy in whole 8-byte words.
constexpr std::size_t WildCopy = MaxRunLength;

// Flushing after each group (not each token) leaves the write position below
// FlushThreshold at every group start. The fast path's rule is then: a group that starts with
// MaxGroupInput bytes of body left, MaxGroupOutput bytes of output to go and MaxDistance bytes
// produced cannot break a limit, and can always wildcopy WildCopy bytes past any token.
static_assert(FlushThreshold + MaxGroupOutput + WildCopy <= WindowSize);
static_assert(MaxGroupOutput <= BlockSize, "one flush per group restores the rule");
// Every over-read of the fast path stays inside the group's own MaxGroupInput bytes; the
// careful path only ever reads a flag byte past the body.
static_assert(InputSlack >= 1);

// Bits of the current flag byte, most significant first, above a sentinel bit: once the
// sentinel reaches the top all eight tokens have been taken. Counting leading zeros then
// gives the run of single literals at once, never more than the group has left.
constexpr std::uint32_t FlagTop = 0x80000000u;
std::uint32_t GroupFlags(std::uint8_t Flag) {
    return std::uint32_t(Flag) << 24 | 1u << 23;
}

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
void Store64(std::uint8_t* p, std::uint64_t v) {
    std::memcpy(p, &v, 8);
}
std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A match at distance d is copied in 8-byte words. From d = 8 on, each word is a load from d
// bytes back. Below 8 the first word is built from the last d bytes, shifted down and repeated
// by a multiply, and every further word is a copy of the word before it, stored a stride on:
// the largest multiple of d not above 8, so that each word starts at the pattern's first byte.
// Indexed by min(d, 8).
constexpr unsigned RepeatShift[9] = {0, 56, 48, 40, 32, 24, 16, 8, 0};
constexpr std::uint64_t RepeatMul[9] = {0,
                                        0x0101010101010101u,
                                        0x0001000100010001u,
                                        0x0001000001000001u,
                                        0x0000000100000001u,
                                        0x0000010000000001u,
                                        0x0001000000000001u,
                                        0x0100000000000001u,
                                        1};
constexpr std::size_t RepeatStride[9] = {0, 8, 8, 6, 8, 5, 6, 7, 8};
// What to add to d for the first word's load (8 bytes back at least) and for the distance the
// further words copy from (the stride, below 8): table lookups rather than a branch on d < 8.
constexpr std::size_t FirstBack[9] = {0, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr std::size_t StrideBack[9] = {0, 7, 6, 3, 4, 0, 0, 0, 0};
// Words copied whatever the length: they cover every short and near match and most far ones.
constexpr std::size_t MatchWords = 2;
static_assert((MatchWords - 1) * 8 + 8 <= WildCopy);

// Copies a match with byte-by-byte semantics, writing up to WildCopy bytes past its end.
// Needs at least 8 bytes of history.
inline void FastMatch(std::uint8_t* op, std::size_t dist, std::size_t len) {
    const std::size_t k = dist < 8 ? dist : 8;
    const std::size_t stride = RepeatStride[k];
    const std::size_t from = dist + StrideBack[k];
    Store64(op, (Load64(op - (dist + FirstBack[k])) >> RepeatShift[k]) * RepeatMul[k]);
    // Each word reads only bytes that the words before it have already written.
    for (std::size_t w = 1; w < MatchWords; ++w)
        Store64(op + w * stride, Load64(op + w * stride - from));
    if (len > MatchWords * stride) [[unlikely]] {
        std::size_t i = MatchWords * stride;
        if (from >= 16) {
            for (; i < len; i += 16)
                std::memcpy(op + i, op + i - from, 16);
        } else {
            for (; i < len; i += stride)
                Store64(op + i, Load64(op + i - from));
        }
    }
}

constexpr auto FarLengths = [] {
    std::array<std::uint16_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = std::uint16_t(b == 0xFF ? 4096 : b == 0xFE ? 1024 : b == 0xFD ? 256 : b + 3);
    return t;
}();

// For every first byte of a match: distance = DistBase + (B2 >> DistShift), length = LenBase +
// (B2 & LenMask) + (far length of B3 & FarMask).
struct KindTables {
    std::uint16_t DistBase[256];
    std::uint8_t DistShift[256];
    std::uint8_t LenBase[256];
    std::uint8_t LenMask[256];
    std::uint16_t FarMask[256];
};
constexpr KindTables Kinds = [] {
    KindTables k{};
    for (unsigned b = 0; b < 256; ++b) {
        if (b < 0x80) { // short: all in B1
            k.DistBase[b] = std::uint16_t((b >> 2) + 1);
            k.DistShift[b] = 8;
            k.LenBase[b] = std::uint8_t((b & 3) + 2);
        } else if (b < 0xC0) { // near
            k.DistBase[b] = std::uint16_t(((b & 0x3F) << 4) + 1);
            k.DistShift[b] = 4;
            k.LenBase[b] = 3;
            k.LenMask[b] = 0x0F;
        } else { // far
            k.DistBase[b] = std::uint16_t(((b & 0x3F) << 8) + 1);
            k.FarMask[b] = 0xFFFF;
        }
    }
    return k;
}();

struct Cursor {
    const std::uint8_t* ip;
    std::uint8_t* op;
    std::size_t produced;
};

// Decodes the tokens of one group whose flag byte has been fetched. Returns true when the
// output was complete before the eighth token; otherwise the eight tokens are done and the
// next flag byte is still to be fetched. Fast: the rule above holds, nothing is checked.
template <bool Fast>
bool DecodeGroup(std::uint8_t Flag, Cursor& c, const std::uint8_t* iend, std::size_t outSize) {
    const std::uint8_t* ip = c.ip;
    std::uint8_t* op = c.op;
    std::uint8_t* const op0 = c.op;
    std::size_t left = outSize - c.produced; // the careful path's count of bytes still to go
    std::uint32_t f = GroupFlags(Flag);
    bool ended = false;
    for (;;) {
        // The single literals before the next control token (or the group's end), at once.
        // The sentinel keeps f from being 0.
        const unsigned n = unsigned(__builtin_clz(f));
        if constexpr (Fast) {
            Store64(op, Load64(ip));
            ip += n;
            op += n;
        } else {
            for (unsigned i = 0; i < n; ++i) {
                if (left == 0) {
                    ended = true;
                    break;
                }
                if (ip >= iend)
                    Malformed();
                *op++ = *ip++;
                --left;
            }
            if (ended)
                break;
        }
        f <<= n;
        if (f == FlagTop)
            break;
        f <<= 1;
        if constexpr (!Fast) {
            if (left == 0) {
                ended = true;
                break;
            }
            if (ip >= iend)
                Malformed();
        }
        // Up to three token bytes in one load; past iend it still reads the spare bytes.
        const std::uint32_t t = Load32(ip);
        const unsigned b1 = t & 0xFF;
        std::size_t len;
        if ((b1 & 0x83) == 3) [[unlikely]] { // a literal run
            len = (b1 >> 2) + 9;
            if constexpr (Fast) {
                std::memcpy(op, ip + 1, MaxRunLength);
            } else {
                if (len >= std::size_t(iend - ip) || len > left)
                    Malformed();
                std::memcpy(op, ip + 1, len);
            }
            ip += 1 + len;
        } else {
            // Short, near or far: per-B1 tables give each kind's distance and length from the
            // token bytes without a branch, since the kind of the next token is anyone's guess.
            const unsigned b2 = (t >> 8) & 0xFF;
            const unsigned isLong = b1 >> 7;
            const unsigned isFar = (b1 + 0x40) >> 8;
            const std::size_t dist = Kinds.DistBase[b1] + (b2 >> Kinds.DistShift[b1]);
            len = Kinds.LenBase[b1] + (b2 & Kinds.LenMask[b1]) +
                  (FarLengths[(t >> 16) & 0xFF] & Kinds.FarMask[b1]);
            const std::size_t size = 1 + isLong + isFar;
            if constexpr (Fast) {
                FastMatch(op, dist, len);
            } else {
                if (size > std::size_t(iend - ip) || dist > outSize - left || len > left)
                    Malformed();
                // Ascending, one byte at a time: an overlapping match repeats its own output.
                const std::uint8_t* const match = op - dist;
                for (std::size_t i = 0; i < len; ++i)
                    op[i] = match[i];
            }
            ip += size;
        }
        op += len;
        if constexpr (!Fast)
            left -= len;
        if (f == FlagTop)
            break;
    }
    c = {ip, op, c.produced + std::size_t(op - op0)};
    return ended;
}

} // namespace

Packed::Header Packed::ParseHeader(const std::uint8_t (&Bytes)[HeaderSize]) {
    Header h{};
    std::memcpy(h.Signature, Bytes, 4);
    h.PackedSize = LoadLE32(Bytes + 4);
    h.UnpackedSize = LoadLE32(Bytes + 8);
    h.Reserved = LoadLE32(Bytes + 12);
    if (std::memcmp(h.Signature, Signature, 4) != 0 || h.Reserved != 0 || h.PackedSize > MaxSize ||
        h.UnpackedSize > MaxSize)
        Malformed();
    return h;
}

void DecodePackedStream(TStream& Source, TStream& Target) {
    std::uint8_t headerBytes[HeaderSize];
    Source.ReadBuffer(headerBytes, HeaderSize);
    const Header h = ParseHeader(headerBytes);

    BufferRelease release;
    InputBuffer = Allocate(std::size_t(h.PackedSize) + InputSlack);
    Window = Allocate(WindowSize);
    std::memset(InputBuffer + h.PackedSize, 0, InputSlack);
    Source.ReadBuffer(InputBuffer, h.PackedSize);

    const std::uint8_t* const iend = InputBuffer + h.PackedSize;
    const std::size_t outSize = h.UnpackedSize;
    Cursor c{InputBuffer, Window, 0};
    // Fetched whatever UnpackedSize is; with an empty body it lands in the spare bytes.
    std::uint8_t flag = *c.ip++;
    bool midGroup = false;
    while (c.produced < outSize) {
        // Lengths, not pointers: ip may stand one past iend after a fetch into the spare bytes.
        const bool fast = c.ip < iend && std::size_t(iend - c.ip) >= MaxGroupInput &&
                          outSize - c.produced >= MaxGroupOutput && c.produced >= MaxDistance;
        midGroup = fast ? DecodeGroup<true>(flag, c, iend, outSize)
                        : DecodeGroup<false>(flag, c, iend, outSize);
        if (std::size_t(c.op - Window) >= FlushThreshold) {
            Target.WriteBuffer(Window, BlockSize);
            const std::size_t kept = std::size_t(c.op - Window) - BlockSize;
            std::memmove(Window, Window + BlockSize, kept);
            c.op = Window + kept;
        }
        if (midGroup)
            break;
        flag = *c.ip++; // at most iend: the spare bytes take a fetch past the body
    }
    // After the last token only the flag byte fetched behind it, if any, may remain.
    if (!(c.ip == iend || (!midGroup && c.ip == iend + 1)))
        Malformed();
    Target.WriteBuffer(Window, std::size_t(c.op - Window));
}
