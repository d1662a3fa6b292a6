#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"
#include "classlib/Streams.h"
#include "payload/PackedStream.h"
#include "tests/host/DecoderModel.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Model::TokenWriter;
using Model::WithHeader;

constexpr std::size_t MiB = 1u << 20;

Bytes Repeat(std::uint8_t B, std::size_t N) {
    return Bytes(N, B);
}
Bytes Cat(Bytes A, const Bytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}
Bytes Ascending(std::size_t N) {
    Bytes b(N);
    for (std::size_t i = 0; i < N; ++i)
        b[i] = std::uint8_t(0x30 + i);
    return b;
}

struct Case {
    std::string Name;
    Bytes Payload;
    Bytes Output;                // when Error is null
    const char* Error = nullptr; // the EReadError message expected instead
};

const char* const Invalid = Messages::SInvalidPackedData;

// "B" and then As up to Produced bytes, followed by one token: it must copy the B from exactly
// Produced bytes back.
Case FarthestBack(std::string Name, std::size_t Produced, void (*Token)(TokenWriter&)) {
    TokenWriter w;
    w.Literal('B').Literal('A');
    while (w.Output().size() + 4096 <= Produced)
        w.Far(1, 0xFF);
    while (w.Output().size() < Produced)
        w.Literal('A');
    Token(w);
    return {std::move(Name), w.Payload(), w.Output()};
}

std::vector<Case> Cases() {
    const Bytes eight = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    std::vector<Case> c = {
        {"worked example",
         {0x59, 0x42, 0x83, 0x03, 0x06, 0,    0,    0,    0x0C, 0,    0,
          0,    0,    0,    0,    0,    0x10, 0x61, 0x62, 0x63, 0x80, 0x26},
         {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'}},
        // The first flag byte is fetched even then, from the spare bytes when the body is empty.
        {"nothing to produce, empty body", WithHeader({}, 0), {}},
        {"nothing to produce, one flag byte", WithHeader({0x00}, 0), {}},
        // The closing flag byte is fetched after the eighth token and never used.
        {"eight literals and the closing flag", WithHeader(Cat(Cat({0}, eight), {0}), 8), eight},
        {"eight literals, closing flag left out", WithHeader(Cat({0}, eight), 8), eight},
        {"closing flag of any value", WithHeader(Cat(Cat({0}, eight), {0xFF}), 8), eight},
        {"unused flag bits ignored", WithHeader({0x7F, 'a'}, 1), {'a'}},
        {"shortest literal run", WithHeader(Cat({0x80, 0x03}, Ascending(9)), 9), Ascending(9)},
        {"longest literal run", WithHeader(Cat({0x80, 0x7F}, Ascending(40)), 40), Ascending(40)},
        {"short match at distance 1", WithHeader({0x40, 'x', 0x02}, 5), Repeat('x', 5)},
        {"far match at distance 1", WithHeader({0x40, 'x', 0xC0, 0x00, 0xFF}, 4097),
         Repeat('x', 4097)},
        {"far length FC", WithHeader({0x40, 'x', 0xC0, 0x00, 0xFC}, 256), Repeat('x', 256)},
        {"far length FD", WithHeader({0x40, 'x', 0xC0, 0x00, 0xFD}, 257), Repeat('x', 257)},
        {"far length FE", WithHeader({0x40, 'x', 0xC0, 0x00, 0xFE}, 1025), Repeat('x', 1025)},
        {"far length FF", WithHeader({0x40, 'x', 0xC0, 0x00, 0xFF}, 4097), Repeat('x', 4097)},
        FarthestBack("short match 7C, 32 back", 32, [](TokenWriter& w) { w.Short(32, 2); }),
        FarthestBack("near match BF F0, 1024 back", 1024, [](TokenWriter& w) { w.Near(1024, 3); }),
        FarthestBack("far match FF FF, 16384 back", 16384,
                     [](TokenWriter& w) { w.Far(16384, 0x01); }),

        // Rejections: each breaks one limit of a well-formed payload.
        {"signature",
         WithHeader({0}, 0, {}, 0, std::array<std::uint8_t, 4>{0x59, 0x42, 0x83, 0x04}.data()),
         {},
         Invalid},
        {"reserved not 0", WithHeader({0}, 0, {}, 1), {}, Invalid},
        {"PackedSize 2^31", WithHeader({0}, 0, 0x80000000u), {}, Invalid},
        {"UnpackedSize 2^31", WithHeader({0x00, 'a'}, 0x80000000u), {}, Invalid},
        {"UnpackedSize FFFFFFFF", WithHeader({0x00, 'a'}, 0xFFFFFFFFu), {}, Invalid},
        {"body ends before its literals", WithHeader({0x00, 'a'}, 3), {}, Invalid},
        {"body ends inside a near match", WithHeader({0x40, 'x', 0x80}, 5), {}, Invalid},
        {"body ends inside a far match", WithHeader({0x40, 'x', 0xC0, 0x00}, 5), {}, Invalid},
        {"body ends inside a literal run",
         WithHeader(Cat({0x80, 0x03}, Ascending(8)), 9),
         {},
         Invalid},
        // The flag fetch after the eighth token falls past the body, yet a token must follow.
        {"body ends at a group that should follow", WithHeader(Cat({0}, eight), 9), {}, Invalid},
        {"first token a match", WithHeader({0x80, 0x02}, 4), {}, Invalid},
        {"far match reaching before the start",
         WithHeader({0x40, 'x', 0xC0, 0x01, 0x00}, 4),
         {},
         Invalid},
        {"token past UnpackedSize", WithHeader({0x40, 0x78, 0x02}, 3), {}, Invalid},
        {"literal run past UnpackedSize",
         WithHeader(Cat({0x80, 0x03}, Ascending(9)), 8),
         {},
         Invalid},
        {"trailing byte inside a group", WithHeader({0x00, 'a', 0x00}, 1), {}, Invalid},
        {"two bytes after a completed group",
         WithHeader(Cat(Cat({0}, eight), {0, 0}), 8),
         {},
         Invalid},
        {"source shorter than the header",
         {0x59, 0x42, 0x83, 0x03, 0x06, 0, 0, 0, 0x0C, 0},
         {},
         Messages::SReadError},
        {"source shorter than its body",
         WithHeader({0x10, 0x61, 0x62, 0x63, 0x80}, 12, 6),
         {},
         Messages::SReadError},
    };
    return c;
}

std::string Describe(const Bytes& b) {
    return std::to_string(b.size()) + " bytes";
}

TEST(DecodePackedStream, DecodesOrRejectsEachCase) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Name);
        TMemoryStream source(c.Payload);
        TMemoryStream target;
        if (!c.Error) {
            EXPECT_NO_THROW(DecodePackedStream(source, target));
            EXPECT_TRUE(target.Data() == c.Output)
                << "expected " << Describe(c.Output) << ", got " << Describe(target.Data());
        } else {
            try {
                DecodePackedStream(source, target);
                ADD_FAILURE() << "decoded " << Describe(target.Data()) << " instead of rejecting";
            } catch (const EReadError& e) {
                EXPECT_EQ(e.Message(), c.Error);
            }
            EXPECT_EQ(target.Size(), 0u) << "a rejected payload wrote to the target";
        }
        // The model the fuzzer trusts must agree on every case.
        const auto model = Model::ReferenceDecode(c.Payload);
        EXPECT_EQ(model.has_value(), c.Error == nullptr);
        if (model && !c.Error) {
            EXPECT_TRUE(*model == c.Output);
        }
    }
}

// Remembers the size of every write; takes at most Capacity bytes in all.
class TRecordingStream : public TMemoryStream {
public:
    explicit TRecordingStream(std::size_t Capacity = SIZE_MAX) : FCapacity(Capacity) {}
    std::size_t Write(const void* Buffer, std::size_t Count) override {
        Writes.push_back(Count);
        const std::size_t room = FCapacity - std::min(FCapacity, Size());
        return TMemoryStream::Write(Buffer, std::min(Count, room));
    }
    std::vector<std::size_t> Writes;

private:
    std::size_t FCapacity;
};

TEST(DecodePackedStream, WritesWholeMebibyteBlocksThenTheRest) {
    struct Row {
        std::size_t Size;
        std::vector<std::size_t> Writes;
    };
    const Row rows[] = {
        {1, {1}},
        {2 * MiB - 1, {2 * MiB - 1}},
        {2 * MiB, {MiB, MiB}},
        {2 * MiB + 1, {MiB, MiB + 1}},
        {3 * MiB, {MiB, MiB, MiB}},
        {5 * MiB + 7, {MiB, MiB, MiB, MiB, MiB + 7}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Size);
        const auto s = Model::RandomPayload(r.Size, r.Size);
        TMemoryStream source(s.Payload);
        TRecordingStream target;
        DecodePackedStream(source, target);
        EXPECT_EQ(target.Writes, r.Writes);
        EXPECT_TRUE(target.Data() == s.Output) << "content differs";
    }
}

TEST(DecodePackedStream, ShortWriteRaisesEWriteErrorAndKeepsWhatWasWritten) {
    const auto s = Model::RandomPayload(7, 3 * MiB);
    for (const std::size_t capacity : {MiB + MiB / 2, 3 * MiB - 1}) {
        SCOPED_TRACE(capacity);
        TMemoryStream source(s.Payload);
        TRecordingStream target(capacity);
        try {
            DecodePackedStream(source, target);
            ADD_FAILURE() << "a short write went unnoticed";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), Messages::SWriteError);
        }
        ASSERT_EQ(target.Size(), capacity);
        EXPECT_TRUE(std::equal(target.Data().begin(), target.Data().end(), s.Output.begin()));
    }
    // The buffers of the failed decode were released; the next one starts afresh.
    TMemoryStream source(s.Payload);
    TMemoryStream target;
    DecodePackedStream(source, target);
    EXPECT_TRUE(target.Data() == s.Output);
}

// Random token streams against the bytes they stand for: every token kind, distances 1..16
// that overlap the wide copies, group and buffer boundaries at every offset.
TEST(DecodePackedStream, MatchesTheTokensOfRandomPayloads) {
    struct Row {
        const char* Name;
        Model::RandomOptions Opt;
    };
    Row rows[] = {{"mixed", {}},         {"literals", {}},          {"short distances", {}},
                  {"far", {}},           {"noisy unused bits", {}}, {"no closing flag", {}},
                  {"wide distances", {}}};
    rows[1].Opt = {80, 10, 5, 5, 0};
    rows[2].Opt = {10, 0, 70, 20, 0};
    rows[3].Opt = {30, 5, 5, 5, 55};
    rows[4].Opt.NoisyUnusedBits = true;
    rows[5].Opt.DropClosingFlag = true;
    rows[6].Opt.SmallDistances = false;
    const std::size_t sizes[] = {1, 9, 64, 16383, 16385, 40000, 70001, 2 * MiB + 4099};
    std::uint64_t seed = 1;
    for (const Row& r : rows) {
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(std::string(r.Name) + ", " + std::to_string(size) + " bytes");
            const auto s = Model::RandomPayload(seed++, size, r.Opt);
            TMemoryStream source(s.Payload);
            TMemoryStream target;
            DecodePackedStream(source, target);
            ASSERT_EQ(target.Size(), s.Output.size());
            const auto diff =
                std::mismatch(s.Output.begin(), s.Output.end(), target.Data().begin());
            EXPECT_TRUE(diff.first == s.Output.end())
                << "first difference at " << (diff.first - s.Output.begin());
        }
    }
}

// Whatever is done to a valid payload, the decoder accepts exactly what the model accepts and
// then produces the same bytes: a body cut short at every point near its end (where the fast
// path hands over to the careful one), and single bytes changed.
TEST(DecodePackedStream, AgreesWithTheModelOnDamagedPayloads) {
    const auto s = Model::RandomPayload(99, 50000);
    const std::size_t packed = s.Payload.size() - Packed::HeaderSize;
    auto check = [](const Bytes& payload) {
        const auto expected = Model::ReferenceDecode(payload);
        TMemoryStream source(payload);
        TMemoryStream target;
        bool accepted = true;
        try {
            DecodePackedStream(source, target);
        } catch (const EReadError&) {
            accepted = false;
        }
        ASSERT_EQ(accepted, expected.has_value());
        if (accepted) {
            ASSERT_TRUE(target.Data() == *expected);
        }
    };
    for (std::size_t cut = 1; cut <= 400 && cut <= packed; ++cut) {
        SCOPED_TRACE("body cut by " + std::to_string(cut));
        Bytes p(s.Payload.begin(), s.Payload.end() - std::ptrdiff_t(cut));
        const std::uint32_t size = std::uint32_t(packed - cut);
        std::memcpy(p.data() + 4, &size, 4);
        check(p);
    }
    Model::Random rnd(5);
    for (int i = 0; i < 2000; ++i) {
        Bytes p = s.Payload;
        p[rnd.Range(Packed::HeaderSize, p.size() - 1)] = std::uint8_t(rnd.Next());
        SCOPED_TRACE("mutation " + std::to_string(i));
        check(p);
    }
}

} // namespace
