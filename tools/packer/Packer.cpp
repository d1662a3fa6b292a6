#include "tools/packer/Packer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "classlib/Streams.h"
#include "payload/PackedStream.h"

namespace {

// What each token kind can express.
constexpr std::size_t MaxSingleLiterals = 8;
constexpr std::size_t MinRun = 9;
constexpr std::size_t MaxRun = 40;
constexpr std::size_t ShortMaxDistance = 32;
constexpr std::size_t ShortMaxLength = 4;
constexpr std::size_t NearMaxDistance = 1024;
constexpr std::size_t NearMinLength = 3;
constexpr std::size_t NearMaxLength = 18;
constexpr std::size_t FarMinLength = 4; // a 3-byte far match costs as much as its literals
constexpr std::size_t FarMaxContiguous = 256;
constexpr std::size_t FarLong1 = 1024;
constexpr std::size_t FarLong2 = Packed::MaxTokenLength;
constexpr std::size_t MaxDistance = Packed::MaxDistance;

// Costs in bits: the token's bytes plus its flag bit. A group's flag byte is paid for one bit
// per token; the rounding to whole flag bytes is at most one byte per payload.
using Cost = std::uint64_t;
constexpr Cost Unreached = std::numeric_limits<Cost>::max();
constexpr Cost LiteralCost = 9;
constexpr Cost ShortCost = 9;
constexpr Cost NearCost = 17;
constexpr Cost FarCost = 25;
constexpr Cost RunCost(std::size_t Length) {
    return 8 * Cost(Length) + 9;
}

// The cost of the cheapest kind that expresses a match, or Unreached when none may.
constexpr Cost MatchCost(std::size_t Distance, std::size_t Length) {
    if (Length <= ShortMaxLength && Distance <= ShortMaxDistance)
        return ShortCost;
    if (Length >= NearMinLength && Length <= NearMaxLength && Distance <= NearMaxDistance)
        return NearCost;
    if (Length >= FarMinLength && Distance <= MaxDistance &&
        (Length <= FarMaxContiguous || Length == FarLong1 || Length == FarLong2))
        return FarCost;
    return Unreached;
}

struct Match {
    std::uint32_t Length;
    std::uint32_t Distance;
};

// A binary-tree match finder over the last MaxDistance positions. Each hash bucket holds a
// search tree of the suffixes that start with the same hashed bytes; a node's children are
// older than the node, so a search meets candidates nearest first and reports, for every length
// it finds, the nearest position that matches at least that far.
class TMatchFinder {
public:
    // Beyond this length a match is taken as found; the longest one is then extended alone.
    static constexpr std::size_t NiceLength = 192;
    // Tree nodes visited per position: the effort cap on highly repetitive input.
    static constexpr unsigned SearchDepth = 64;

    TMatchFinder(const std::uint8_t* Data, std::size_t Size)
        : FData(Data), FSize(Size), FHead(HashSize, Empty), FTree(2 * CyclicSize, Empty) {}

    // Fills Out (room for NiceLength entries) with matches of 3 bytes or more at Pos, in
    // ascending length; returns their number. The last one is extended up to MaxTokenLength.
    std::size_t Find(std::size_t Pos, Match* Out) {
        std::size_t count = Insert<true>(Pos, Out);
        if (count && Out[count - 1].Length == NiceLength) {
            Match& m = Out[count - 1];
            const std::size_t limit = std::min(Packed::MaxTokenLength, FSize - Pos);
            const std::uint8_t* cur = FData + Pos;
            const std::uint8_t* back = cur - m.Distance;
            std::size_t len = m.Length;
            while (len < limit && cur[len] == back[len])
                ++len;
            m.Length = std::uint32_t(len);
        }
        return count;
    }

    // Enters Pos into the tree without reporting matches.
    void Skip(std::size_t Pos) { Insert<false>(Pos, nullptr); }

private:
    static constexpr std::size_t CyclicSize = 1u << 15; // more than MaxDistance
    static constexpr unsigned HashBits = 16;
    static constexpr std::size_t HashSize = std::size_t(1) << HashBits;
    static constexpr std::uint32_t Empty = std::numeric_limits<std::uint32_t>::max();

    static std::size_t Hash(const std::uint8_t* p) {
        const std::uint32_t v = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
        return (v * 2654435761u) >> (32 - HashBits);
    }

    template <bool Report>
    std::size_t Insert(std::size_t Pos, Match* Out) {
        const std::size_t limit = std::min(NiceLength, FSize - Pos);
        if (limit < NearMinLength)
            return 0; // too close to the end to hash; nothing later can match here either
        const std::uint8_t* cur = FData + Pos;
        std::uint32_t& head = FHead[Hash(cur)];
        std::uint32_t candidate = head;
        head = std::uint32_t(Pos);

        // The new node becomes the root; the old tree is split into its two subtrees.
        std::uint32_t* left = &FTree[2 * (Pos & (CyclicSize - 1))];
        std::uint32_t* right = left + 1;
        std::size_t leftLen = 0;  // common prefix with everything under left's future parent
        std::size_t rightLen = 0; // the same for right
        std::size_t bestLen = NearMinLength - 1;
        std::size_t count = 0;
        unsigned depth = SearchDepth;
        for (;;) {
            if (candidate == Empty || Pos - candidate > MaxDistance || depth-- == 0) {
                *left = *right = Empty;
                return count;
            }
            std::uint32_t* node = &FTree[2 * (candidate & (CyclicSize - 1))];
            const std::uint8_t* old = FData + candidate;
            std::size_t len = std::min(leftLen, rightLen);
            while (len < limit && old[len] == cur[len])
                ++len;
            if (len > bestLen) {
                bestLen = len;
                if constexpr (Report)
                    Out[count++] = Match{std::uint32_t(len), std::uint32_t(Pos - candidate)};
            }
            if (len == limit) {
                // Equal as far as we look: the old node's subtrees become ours.
                *left = node[0];
                *right = node[1];
                return count;
            }
            if (old[len] < cur[len]) {
                *left = candidate;
                left = node + 1;
                candidate = *left;
                leftLen = len;
            } else {
                *right = candidate;
                right = node;
                candidate = *right;
                rightLen = len;
            }
        }
    }

    const std::uint8_t* FData;
    std::size_t FSize;
    std::vector<std::uint32_t> FHead;
    std::vector<std::uint32_t> FTree;
};

// One token of the parse. Distance 0 marks literals: a single literal (Length 1) or a run.
struct Token {
    std::uint16_t Length;
    std::uint16_t Distance;
};
static_assert(Packed::MaxTokenLength <= 0xFFFF && MaxDistance <= 0xFFFF);

// Cheapest cost of standing at Pos with any number (0 to 8) of single literals just written.
// Cost[p] is the cheapest way to reach p with a token other than a single literal last.
std::size_t TrailingLiterals(const std::vector<Cost>& Costs, std::size_t Pos, Cost& Best) {
    Best = Unreached;
    std::size_t literals = 0;
    const std::size_t most = std::min(MaxSingleLiterals, Pos);
    for (std::size_t c = 0; c <= most; ++c) {
        const Cost before = Costs[Pos - c];
        if (before != Unreached && before + LiteralCost * c < Best) {
            Best = before + LiteralCost * c;
            literals = c;
        }
    }
    return literals;
}

// An optimal parse over token costs: a forward pass relaxes, from every position, each literal
// run and each match length the match finder offers; a backward walk collects the cheapest
// path. A match of NiceLength or more is taken whole (up to the longest length a far match
// can express), which keeps repetitive input linear.
std::vector<Token> Parse(const std::uint8_t* Data, std::size_t Size) {
    std::vector<Cost> costs(Size + 1, Unreached);
    std::vector<Token> steps(Size + 1, Token{0, 0});
    costs[0] = 0;
    TMatchFinder finder(Data, Size);
    Match matches[TMatchFinder::NiceLength];
    std::uint32_t nearest[TMatchFinder::NiceLength];

    auto relax = [&](std::size_t To, Cost C, std::size_t Length, std::size_t Distance) {
        if (C < costs[To]) {
            costs[To] = C;
            steps[To] = Token{std::uint16_t(Length), std::uint16_t(Distance)};
        }
    };

    std::size_t pos = 0;
    while (pos < Size) {
        Cost best;
        TrailingLiterals(costs, pos, best);
        const std::size_t left = Size - pos;
        const std::uint8_t* cur = Data + pos;

        for (std::size_t n = MinRun; n <= std::min(MaxRun, left); ++n)
            relax(pos + n, best + RunCost(n), n, 0);

        // Short matches are searched exhaustively: the nearest distance for lengths 2, 3, 4.
        std::size_t shortDist[ShortMaxLength + 1] = {};
        const std::size_t shortLimit = std::min(ShortMaxLength, left);
        for (std::size_t d = 1; d <= std::min(ShortMaxDistance, pos); ++d) {
            const std::uint8_t* back = cur - d;
            std::size_t len = 0;
            while (len < shortLimit && cur[len] == back[len])
                ++len;
            for (std::size_t l = 2; l <= len; ++l)
                if (!shortDist[l])
                    shortDist[l] = d;
            if (len == ShortMaxLength)
                break;
        }

        const std::size_t count = finder.Find(pos, matches);
        // nearest[k]: the smallest distance among matches k.. (all at least as long as k's).
        for (std::size_t k = count; k-- > 0;)
            nearest[k] =
                k + 1 < count ? std::min(matches[k].Distance, nearest[k + 1]) : matches[k].Distance;
        const std::size_t longest = count ? matches[count - 1].Length : 0;

        std::size_t k = 0;
        const std::size_t lastLength = std::min(std::max(longest, shortLimit), FarMaxContiguous);
        for (std::size_t len = 2; len <= lastLength; ++len) {
            while (k < count && matches[k].Length < len)
                ++k;
            std::size_t d = len <= ShortMaxLength ? shortDist[len] : 0;
            if (k < count && (!d || nearest[k] < d))
                d = nearest[k];
            if (!d)
                continue;
            const Cost c = MatchCost(d, len);
            if (c != Unreached)
                relax(pos + len, best + c, len, d);
        }
        for (const std::size_t len : {FarLong1, FarLong2})
            if (longest >= len)
                relax(pos + len, best + FarCost, len, matches[count - 1].Distance);

        if (longest >= TMatchFinder::NiceLength) {
            const std::size_t jump = longest >= FarLong2   ? FarLong2
                                     : longest >= FarLong1 ? FarLong1
                                                           : std::min(longest, FarMaxContiguous);
            for (std::size_t p = pos + 1; p < pos + jump; ++p)
                finder.Skip(p);
            pos += jump;
        } else {
            ++pos;
        }
    }

    std::vector<Token> tokens;
    std::size_t at = Size;
    while (at > 0) {
        Cost best;
        const std::size_t literals = TrailingLiterals(costs, at, best);
        if (best == Unreached)
            throw EPackError("internal error: the parse left a position unreached");
        for (std::size_t c = 0; c < literals; ++c)
            tokens.push_back(Token{1, 0});
        at -= literals;
        if (at == 0)
            break;
        tokens.push_back(steps[at]);
        at -= steps[at].Length;
    }
    std::reverse(tokens.begin(), tokens.end());
    return tokens;
}

void StoreLE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

// Receives decoded bytes and compares them with the expected ones as they arrive.
class TCompareStream : public TStream {
public:
    TCompareStream(const std::uint8_t* Expected, std::size_t Size)
        : FExpected(Expected), FSize(Size) {}

    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* Buffer, std::size_t Count) override {
        const auto* p = static_cast<const std::uint8_t*>(Buffer);
        for (std::size_t i = 0; i < Count; ++i, ++FPosition)
            if (FPosition >= FSize || p[i] != FExpected[FPosition])
                throw EPackError("payload does not decode to its source: first difference at "
                                 "offset " +
                                 std::to_string(FPosition));
        return Count;
    }
    std::size_t Position() const { return FPosition; }

private:
    const std::uint8_t* FExpected;
    std::size_t FSize;
    std::size_t FPosition = 0;
};

} // namespace

std::vector<std::uint8_t> PackPayload(const std::uint8_t* Data, std::size_t Size) {
    if (Size > Packed::MaxSize)
        throw EPackError("input of " + std::to_string(Size) +
                         " bytes is larger than a payload can hold");
    const std::vector<Token> tokens = Parse(Data, Size);

    std::vector<std::uint8_t> out(Packed::HeaderSize);
    out.reserve(Packed::HeaderSize + Size + Size / 8 + 2);
    std::size_t flagAt = out.size();
    out.push_back(0);
    unsigned inGroup = 0;
    std::size_t pos = 0;
    for (const Token& t : tokens) {
        const std::size_t len = t.Length;
        if (t.Distance == 0 && len == 1) {
            out.push_back(Data[pos]);
        } else {
            out[flagAt] = std::uint8_t(out[flagAt] | (0x80u >> inGroup));
            if (t.Distance == 0) {
                out.push_back(std::uint8_t((len - MinRun) << 2 | 3));
                out.insert(out.end(), Data + pos, Data + pos + len);
            } else {
                const unsigned d = t.Distance - 1u;
                if (MatchCost(t.Distance, len) == ShortCost) {
                    out.push_back(std::uint8_t(d << 2 | (len - 2)));
                } else if (MatchCost(t.Distance, len) == NearCost) {
                    out.push_back(std::uint8_t(0x80 | d >> 4));
                    out.push_back(std::uint8_t((d & 0x0F) << 4 | (len - NearMinLength)));
                } else {
                    out.push_back(std::uint8_t(0xC0 | d >> 8));
                    out.push_back(std::uint8_t(d & 0xFF));
                    out.push_back(len == FarLong2   ? 0xFF
                                  : len == FarLong1 ? 0xFE
                                  : len == 256      ? 0xFD
                                                    : std::uint8_t(len - 3));
                }
            }
        }
        pos += len;
        if (++inGroup == 8) {
            // Also the closing flag byte when this was the last token.
            flagAt = out.size();
            out.push_back(0);
            inGroup = 0;
        }
    }
    const std::size_t packed = out.size() - Packed::HeaderSize;
    if (packed > Packed::MaxSize)
        throw EPackError("packed body of " + std::to_string(packed) +
                         " bytes is larger than a payload can hold");
    std::memcpy(out.data(), Packed::Signature, 4);
    StoreLE32(out.data() + 4, std::uint32_t(packed));
    StoreLE32(out.data() + 8, std::uint32_t(Size));
    StoreLE32(out.data() + 12, 0);
    return out;
}

void VerifyPayload(const std::vector<std::uint8_t>& Payload, const std::uint8_t* Data,
                   std::size_t Size) {
    TCustomMemoryStream source(Payload.data(), Payload.size());
    TCompareStream target(Data, Size);
    DecodePackedStream(source, target);
    if (target.Position() != Size)
        throw EPackError("payload decodes to " + std::to_string(target.Position()) +
                         " bytes, its source has " + std::to_string(Size));
    if (source.Position() != Payload.size())
        throw EPackError("payload has " + std::to_string(Payload.size() - source.Position()) +
                         " bytes behind its body");
}
