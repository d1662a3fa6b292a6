#include "payload/PackedStream.h"

#include <algorithm>
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
// How far past a token's end the fast path may write. It copies in whole words and blocks: a
// literal run as MaxRunLength bytes, a match as two words and, past 16 bytes, two 16-byte blocks
// and then more.
constexpr std::size_t WildCopy = MaxRunLength;
static_assert(MaxRunLength - 9 <= WildCopy && 2 * 8 + 2 * 16 - 17 <= WildCopy);

// Flushing after each group (not each token) leaves the write position below
// FlushThreshold at every group start. The fast path's rule is then: a group that starts with
// MaxGroupInput bytes of body left, MaxGroupOutput bytes of output to go and MaxDistance bytes
// produced cannot break a limit, and can always wildcopy WildCopy bytes past any token.
static_assert(FlushThreshold + MaxGroupOutput + WildCopy <= WindowSize);
static_assert(MaxGroupOutput <= BlockSize, "one flush per group restores the rule");
// The fast path's loads start inside a group's MaxGroupInput bytes and read at most 8 bytes
// (a run's 40 stay inside the run), so at most 7 past them; the careful path only ever reads a
// flag byte past the body.
static_assert(InputSlack >= 8 - 1);

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

// Every table the decoder reads, in one object so that one base register reaches them all.
struct DecodeTables {
    // A flag byte's bits in reverse, so that the first token's bit is bit 0.
    std::uint32_t Reversed[256];
    // How many of its tokens, from the first on, are single literals.
    std::uint32_t Leading[256];

    // Per first byte of a control token, in 32-bit entries so that each is one operand. For a
    // match: Size its bytes and SizeShift 8 bits for each past the first; distance = DistBase +
    // (B2 >> DistShift); length = LenBase + ((the token's bytes >> LenShift) & LenMask), where a
    // far match's B3 of 0xFE or 0xFF comes out as 257 or 258 and stands for 1024 or 4096. Size
    // is 0 for a literal run.
    std::uint32_t Size[256];
    std::uint32_t SizeShift[256];
    std::uint32_t DistBase[256];
    std::uint32_t DistShift[256];
    std::uint32_t LenBase[256];
    std::uint32_t LenShift[256];
    std::uint32_t LenMask[256];

    // Indexed by k = min(d, 8) for a match at distance d, copied in 8-byte words. The first word
    // is loaded from d bytes back; below 8 only its low d bytes are output already, so Mask keeps
    // them and Mul repeats them across the word. The second word, stored Stride on (the largest
    // multiple of d not above 8, so that it starts at the pattern's first byte), is loaded from k
    // bytes after the first word's source: the first word itself below 8, d bytes back from 8
    // on. Each word reads only bytes that are output or were just stored whole.
    std::uint64_t Mask[9];
    std::uint64_t Mul[9];
    std::size_t Stride[9];
};
constexpr DecodeTables Tables = [] {
    DecodeTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned bit = 0; bit < 8; ++bit)
            t.Reversed[b] |= ((b >> bit) & 1u) << (7 - bit);
        while (t.Leading[b] < 8 && !(b & (0x80u >> t.Leading[b])))
            ++t.Leading[b];
        if (b < 0x80 && (b & 3) == 3) {
            // a literal run: Size 0
        } else if (b < 0x80) { // short: all in B1
            t.Size[b] = 1;
            t.SizeShift[b] = 0;
            t.DistBase[b] = (b >> 2) + 1;
            t.DistShift[b] = 8;
            t.LenBase[b] = (b & 3) + 2;
        } else if (b < 0xC0) { // near
            t.Size[b] = 2;
            t.SizeShift[b] = 8;
            t.DistBase[b] = ((b & 0x3F) << 4) + 1;
            t.DistShift[b] = 4;
            t.LenBase[b] = 3;
            t.LenShift[b] = 8;
            t.LenMask[b] = 0x0F;
        } else { // far
            t.Size[b] = 3;
            t.SizeShift[b] = 16;
            t.DistBase[b] = ((b & 0x3F) << 8) + 1;
            t.LenBase[b] = 3;
            t.LenShift[b] = 16;
            t.LenMask[b] = 0xFF;
        }
    }
    for (unsigned k = 1; k <= 8; ++k) {
        t.Mask[k] = k == 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (8 * k)) - 1;
        t.Stride[k] = 8 - 8 % k;
        for (unsigned at = 0; at < 8; at += k)
            t.Mul[k] |= std::uint64_t(1) << (8 * at);
    }
    return t;
}();
// A match's distance, and its length as the tables sum it, from its first byte and the token's
// bytes (B1 lowest).
std::size_t MatchDistance(unsigned B1, std::uint64_t Token) {
    return Tables.DistBase[B1] + ((unsigned(Token >> 8) & 0xFF) >> Tables.DistShift[B1]);
}
std::size_t MatchLengthSum(unsigned B1, std::uint64_t Token) {
    return Tables.LenBase[B1] + (std::size_t(Token >> Tables.LenShift[B1]) & Tables.LenMask[B1]);
}
// The far lengths that the table's sum cannot give.
constexpr std::size_t LongestFarSum = 0xFD + 3;
std::size_t FarLength(std::size_t Sum) {
    return Sum <= LongestFarSum ? Sum : Sum == LongestFarSum + 1 ? 1024 : 4096;
}

// The flags of one group, first token in bit 0, under a sentinel bit above the eighth: counting
// trailing zeros gives the run of single literals at once, never more than the group has left,
// and once only the sentinel is left all eight tokens have been taken.
constexpr std::uint32_t FlagsDone = 1;
std::uint32_t GroupFlags(std::uint8_t Flag) {
    return Tables.Reversed[Flag] | 0x100u;
}

// The two words of every match cover every short match and nearly every near one.
constexpr std::size_t MatchWords = 2;
static_assert(MatchWords * 8 <= WildCopy);

// Copies a match with byte-by-byte semantics, writing up to WildCopy bytes past its end, and
// returns its length. Needs dist bytes of history.
inline std::size_t FastMatch(std::uint8_t* op, std::size_t dist, std::size_t len) {
    const std::size_t k = dist < 8 ? dist : 8;
    const std::uint8_t* const from = op - dist;
    const std::size_t stride = Tables.Stride[k];
    Store64(op, (Load64(from) & Tables.Mask[k]) * Tables.Mul[k]);
    Store64(op + stride, Load64(from + k));
    if (len > MatchWords * stride) [[unlikely]] {
        len = FarLength(len);
        // Further words repeat the word stride back, or copy from d back once d >= 16.
        const std::size_t back = k < 8 ? stride : dist;
        std::size_t i = MatchWords * stride;
        if (back >= 16) {
            // Two blocks whatever the length: they end all but the longest far matches, and
            // a loop's exit would be mispredicted as often as not.
            std::memcpy(op + i, op + i - back, 16);
            std::memcpy(op + i + 16, op + i + 16 - back, 16);
            for (i += 32; i < len; i += 16)
                std::memcpy(op + i, op + i - back, 16);
        } else {
            for (; i < len; i += stride)
                Store64(op + i, Load64(op + i - back));
        }
    }
    return len;
}

struct Cursor {
    const std::uint8_t* ip;
    std::uint8_t* op;
    std::size_t produced;
};

// Decodes whole groups while the fast rule holds at each group's start: its flag byte at most
// at FlagLimit, op at most at OpLimit (and MaxDistance bytes produced, which the caller has
// seen). Flag is the fetched flag byte of the group to come, c.ip the byte after it; so again
// on return.
void DecodeFast(std::uint8_t& Flag, Cursor& c, const std::uint8_t* FlagLimit,
                const std::uint8_t* OpLimit) {
    const std::uint8_t* ip = c.ip;
    std::uint8_t* op = c.op;
    std::uint8_t* const op0 = c.op;
    // ip stands at the group's flag byte, and w holds the bytes from there on.
    std::uint64_t w = Flag;
    --ip;
    while (ip <= FlagLimit && op <= OpLimit) {
        std::size_t f = GroupFlags(std::uint8_t(w));
        ++ip;
        // The single literals before the first control token, at once. Read from a table
        // rather than counted in f: it is on the way from the flag byte to the first token.
        std::size_t n = Tables.Leading[std::uint8_t(w)];
        Store64(op, Load64(ip));
        ip += n;
        op += n;
        f >>= n;
        if (f == FlagsDone) {
            w = Load64(ip);
            continue;
        }
        std::uint64_t t = Load64(ip);
        for (;;) {
            f >>= 1;
            n = std::size_t(std::countr_zero(f));
            const unsigned b1 = unsigned(t) & 0xFF;
            if (Tables.Size[b1] == 0) [[unlikely]] { // a literal run
                const std::size_t len = (b1 >> 2) + 9;
                std::memcpy(op, ip + 1, MaxRunLength);
                ip += 1 + len;
                op += len;
                Store64(op, Load64(ip));
                ip += n;
                op += n;
                f >>= n;
                t = Load64(ip);
                if (f == FlagsDone)
                    break;
                continue;
            }
            // The next control token (or flag byte) starts n bytes after this one ends, so its
            // bytes are loaded before this one's size is known, which then only picks a shift:
            // the serial chain from token to token runs through no load.
            const std::uint64_t u = Load64(ip + 1 + n);
            const std::size_t dist = MatchDistance(b1, t);
            const std::size_t len = FastMatch(op, dist, MatchLengthSum(b1, t));
            op += len;
            const std::size_t size = Tables.Size[b1];
            // The single literals after it.
            Store64(op, Load64(ip + size));
            ip += size + n;
            op += n;
            f >>= n;
            t = u >> Tables.SizeShift[b1];
            if (f == FlagsDone)
                break;
        }
        w = t;
    }
    c = {ip + 1, op, c.produced + std::size_t(op - op0)};
    Flag = std::uint8_t(w);
}

// Decodes the tokens of one group whose flag byte has been fetched, checking every limit.
// Returns true when the output was complete before the eighth token; otherwise the eight
// tokens are done and the next flag byte is still to be fetched.
bool DecodeGroupCareful(std::uint8_t Flag, Cursor& c, const std::uint8_t* iend,
                        std::size_t outSize) {
    const std::uint8_t* ip = c.ip;
    std::uint8_t* op = c.op;
    std::size_t left = outSize - c.produced;
    std::uint32_t f = GroupFlags(Flag);
    for (unsigned token = 0; token < 8; ++token, f >>= 1) {
        if (left == 0) {
            c = {ip, op, outSize};
            return true;
        }
        if (ip >= iend)
            Malformed();
        const unsigned b1 = *ip;
        std::size_t len = 1;
        const std::size_t size = Tables.Size[b1];
        if (!(f & 1)) {
            *op = *ip++;
        } else if (size == 0) { // a literal run
            len = (b1 >> 2) + 9;
            if (len >= std::size_t(iend - ip) || len > left)
                Malformed();
            std::memcpy(op, ip + 1, len);
            ip += 1 + len;
        } else {
            if (size > std::size_t(iend - ip))
                Malformed();
            const std::uint64_t t = Load32(ip); // past iend it reads the spare bytes
            const std::size_t dist = MatchDistance(b1, t);
            len = FarLength(MatchLengthSum(b1, t));
            if (dist > outSize - left || len > left)
                Malformed();
            // Ascending, one byte at a time: an overlapping match repeats its own output.
            const std::uint8_t* const match = op - dist;
            for (std::size_t i = 0; i < len; ++i)
                op[i] = match[i];
            ip += size;
        }
        op += len;
        left -= len;
    }
    c = {ip, op, outSize - left};
    return false;
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
    // The last place for the flag byte of a group the fast path may take.
    const std::uint8_t* const flagLimit =
        h.PackedSize > MaxGroupInput ? iend - MaxGroupInput - 1 : nullptr;
    bool midGroup = false;
    while (c.produced < outSize) {
        // Lengths, not pointers: ip may stand one past iend after a fetch into the spare bytes.
        const std::size_t toGo = outSize - c.produced;
        if (flagLimit && c.ip - 1 <= flagLimit && toGo >= MaxGroupOutput &&
            c.produced >= MaxDistance && std::size_t(c.op - Window) < FlushThreshold) {
            const std::size_t room =
                std::min(FlushThreshold - 1 - std::size_t(c.op - Window), toGo - MaxGroupOutput);
            DecodeFast(flag, c, flagLimit, c.op + room);
        } else {
            midGroup = DecodeGroupCareful(flag, c, iend, outSize);
            if (!midGroup)
                flag = *c.ip++; // at most iend: the spare bytes take a fetch past the body
        }
        if (std::size_t(c.op - Window) >= FlushThreshold) {
            Target.WriteBuffer(Window, BlockSize);
            const std::size_t kept = std::size_t(c.op - Window) - BlockSize;
            std::memmove(Window, Window + BlockSize, kept);
            c.op = Window + kept;
        }
        if (midGroup)
            break;
    }
    // After the last token only the flag byte fetched behind it, if any, may remain.
    if (!(c.ip == iend || (!midGroup && c.ip == iend + 1)))
        Malformed();
    Target.WriteBuffer(Window, std::size_t(c.op - Window));
}
