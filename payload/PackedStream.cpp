#include "payload/PackedStream.h"

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

void Copy8(std::uint8_t* Dst, const std::uint8_t* Src) {
    std::uint64_t v;
    std::memcpy(&v, Src, 8);
    std::memcpy(Dst, &v, 8);
}

// Short distances: the last Dist bytes, repeated to fill one word, and how far each store
// of that word may advance (the largest multiple of Dist not above 8).
constexpr std::uint64_t RepeatMul[8] = {0,
                                        0x0101010101010101u,
                                        0x0001000100010001u,
                                        0x0001000001000001u,
                                        0x0000000100000001u,
                                        0x0000010000000001u,
                                        0x0001000000000001u,
                                        0x0100000000000001u};
constexpr std::size_t RepeatStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};

// Copies a match with byte-by-byte semantics, writing up to WildCopy bytes past its end.
// Needs at least 8 bytes of history.
inline void FastMatch(std::uint8_t* op, std::size_t dist, std::size_t len) {
    const std::uint8_t* match = op - dist;
    if (dist >= 8) [[likely]] {
        // Each word reads only bytes the word before it has already written.
        Copy8(op, match);
        Copy8(op + 8, match + 8);
        for (std::size_t i = 16; i < len; i += 8)
            Copy8(op + i, match + i);
        return;
    }
    std::uint64_t last;
    std::memcpy(&last, op - 8, 8);
    const std::uint64_t pattern = (last >> (64 - 8 * dist)) * RepeatMul[dist];
    const std::size_t step = RepeatStep[dist];
    for (std::size_t i = 0; i < len; i += step)
        std::memcpy(op + i, &pattern, 8);
}

std::size_t FarLength(unsigned B3) {
    return B3 == 0xFF ? 4096 : B3 == 0xFE ? 1024 : B3 == 0xFD ? 256 : B3 + 3;
}

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
    std::size_t produced = c.produced;
    std::uint32_t f = GroupFlags(Flag);
    bool ended = false;
    while (f != FlagTop) {
        if constexpr (!Fast) {
            if (produced >= outSize) {
                ended = true;
                break;
            }
        }
        if (!(f & FlagTop)) {
            if constexpr (Fast) {
                const unsigned n = unsigned(std::countl_zero(f));
                Copy8(op, ip);
                ip += n;
                op += n;
                produced += n;
                f <<= n;
            } else {
                if (ip >= iend)
                    Malformed();
                *op++ = *ip++;
                ++produced;
                f <<= 1;
            }
            continue;
        }
        f <<= 1;
        if constexpr (!Fast) {
            if (ip >= iend)
                Malformed();
        }
        const unsigned b1 = ip[0];
        std::size_t len;
        if (b1 < 0x80 && (b1 & 3) == 3) {
            len = (b1 >> 2) + 9;
            if constexpr (Fast) {
                std::memcpy(op, ip + 1, MaxRunLength);
            } else {
                if (len >= std::size_t(iend - ip) || len > outSize - produced)
                    Malformed();
                std::memcpy(op, ip + 1, len);
            }
            ip += 1 + len;
        } else {
            std::size_t dist;
            std::size_t size;
            if (b1 < 0x80) {
                dist = (b1 >> 2) + 1;
                len = (b1 & 3) + 2;
                size = 1;
            } else {
                if constexpr (!Fast) {
                    if (std::size_t(iend - ip) < (b1 < 0xC0 ? 2u : 3u))
                        Malformed();
                }
                const unsigned b2 = ip[1];
                if (b1 < 0xC0) {
                    dist = ((b1 & 0x3Fu) << 4) + (b2 >> 4) + 1;
                    len = (b2 & 0x0F) + 3;
                    size = 2;
                } else {
                    dist = ((b1 & 0x3Fu) << 8) + b2 + 1;
                    len = FarLength(ip[2]);
                    size = 3;
                }
            }
            ip += size;
            if constexpr (Fast) {
                FastMatch(op, dist, len);
            } else {
                if (dist > produced || len > outSize - produced)
                    Malformed();
                // Ascending, one byte at a time: an overlapping match repeats its own output.
                for (std::size_t i = 0; i < len; ++i)
                    op[i] = op[i - dist];
            }
        }
        op += len;
        produced += len;
    }
    c = {ip, op, produced};
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
