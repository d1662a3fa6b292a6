// The packer: round trips through the product's decoder, the conventions of the emitted body
// (checked by an independent token walker), the parse's optimality on small inputs against an
// exhaustive search, and the packer command on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "classlib/Streams.h"
#include "payload/PackedStream.h"
#include "tools/common/SplitMix64.h"
#include "tools/packer/Packer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A fixed-seed generator (splitmix64), so that every run packs the same inputs.
class TRandom : public TSplitMix64 {
public:
    using TSplitMix64::TSplitMix64;
    std::uint8_t Byte() { return std::uint8_t(Next()); }
};

Bytes Random(std::size_t Size, std::uint64_t Seed, unsigned Alphabet = 256) {
    TRandom r(Seed);
    Bytes b(Size);
    for (auto& c : b)
        c = std::uint8_t(r.Below(Alphabet));
    return b;
}

Bytes Text(std::size_t Size, std::uint64_t Seed) {
    static const char* const words[] = {"the ",    "window ", "folder ", "update ",   "file ",
                                        "game ",   "of ",     "and ",    "to ",       "payload ",
                                        "is ",     "start ",  "\n",      "KALDOREN ", "data, ",
                                        "bytes. ", "in ",     "record "};
    TRandom r(Seed);
    Bytes b;
    while (b.size() < Size) {
        const char* w = words[r.Below(std::size(words))];
        b.insert(b.end(), w, w + std::char_traits<char>::length(w));
    }
    b.resize(Size);
    return b;
}

// Text, noise, small integers and long repeats in turn: the kinds of data game files mix.
Bytes Mixed(std::size_t Size, std::uint64_t Seed) {
    TRandom r(Seed);
    Bytes b;
    while (b.size() < Size) {
        const std::size_t part = 200 + r.Below(3000);
        Bytes piece;
        switch (r.Below(4)) {
        case 0:
            piece = Text(part, r.Next());
            break;
        case 1:
            piece = Random(part, r.Next());
            break;
        case 2:
            piece = Random(part, r.Next(), 6);
            break;
        default:
            if (b.size() > 20000) {
                const std::size_t from = b.size() - 1 - r.Below(20000);
                piece.assign(b.begin() + std::ptrdiff_t(from),
                             b.begin() + std::ptrdiff_t(std::min(from + part, b.size())));
            }
        }
        b.insert(b.end(), piece.begin(), piece.end());
    }
    b.resize(Size);
    return b;
}

// Long repeats of a short random pattern with a stray byte here and there: large outputs
// that pack quickly and still exercise far matches across the decoder's block writes.
Bytes Repetitive(std::size_t Size, std::uint64_t Seed) {
    TRandom r(Seed);
    const Bytes pattern = Random(97, r.Next());
    Bytes b(Size);
    for (std::size_t i = 0; i < Size; ++i)
        b[i] = pattern[i % pattern.size()];
    for (std::size_t i = r.Below(5000); i < Size; i += 1 + r.Below(20000))
        b[i] = r.Byte();
    return b;
}

std::uint32_t LE32(const Bytes& b, std::size_t At) {
    return std::uint32_t(b[At]) | std::uint32_t(b[At + 1]) << 8 | std::uint32_t(b[At + 2]) << 16 |
           std::uint32_t(b[At + 3]) << 24;
}

enum class Kind { Literal, Run, Short, Near, Far };

struct Token {
    Kind K;
    std::size_t Length;
    std::size_t Distance;
};

// The cheapest kind for a match, as the shipped payloads choose it.
Kind CheapestKind(std::size_t Distance, std::size_t Length) {
    if (Length <= 4 && Distance <= 32)
        return Kind::Short;
    if (Length >= 3 && Length <= 18 && Distance <= 1024)
        return Kind::Near;
    return Kind::Far;
}

struct Walk {
    std::vector<Token> Tokens;
    Bytes Output;
    std::uint64_t Bits = 0; // token bytes * 8 + one flag bit per token
};

// Walks a payload token by token, independently of the product's decoder, and records every
// departure from the conventions as a test failure.
Walk WalkPayload(const Bytes& Payload) {
    Walk w;
    if (Payload.size() < 16) {
        ADD_FAILURE() << "payload of " << Payload.size() << " bytes has no header";
        return w;
    }
    EXPECT_EQ(Bytes(Payload.begin(), Payload.begin() + 4), Bytes({0x59, 0x42, 0x83, 0x03}));
    const std::size_t packed = LE32(Payload, 4);
    const std::size_t unpacked = LE32(Payload, 8);
    EXPECT_EQ(LE32(Payload, 12), 0u) << "Reserved";
    EXPECT_EQ(packed + 16, Payload.size()) << "PackedSize";
    const Bytes body(Payload.begin() + 16, Payload.end());

    std::size_t ip = 0;
    auto take = [&]() -> unsigned {
        if (ip >= body.size()) {
            ADD_FAILURE() << "body ends inside a token";
            ++ip;
            return 0;
        }
        return body[ip++];
    };
    unsigned flags = take();
    unsigned inGroup = 0;
    std::size_t singlesInRow = 0;
    while (w.Output.size() < unpacked && ip <= body.size()) {
        const std::size_t start = ip;
        Token t{Kind::Literal, 1, 0};
        if (!(flags & 0x80)) {
            w.Output.push_back(std::uint8_t(take()));
            EXPECT_LE(++singlesInRow, 8u)
                << "single literals in a row at output " << w.Output.size();
        } else {
            singlesInRow = 0;
            const unsigned b1 = take();
            if (b1 < 0x80 && (b1 & 3) == 3) {
                t = {Kind::Run, (b1 >> 2) + 9, 0};
                for (std::size_t i = 0; i < t.Length; ++i)
                    w.Output.push_back(std::uint8_t(take()));
            } else {
                if (b1 < 0x80) {
                    t = {Kind::Short, (b1 & 3) + 2, (b1 >> 2) + 1};
                } else if (b1 < 0xC0) {
                    const unsigned b2 = take();
                    t = {Kind::Near, (b2 & 15) + 3, ((b1 & 0x3F) << 4) + (b2 >> 4) + 1};
                } else {
                    const unsigned b2 = take();
                    const unsigned b3 = take();
                    const std::size_t len = b3 == 0xFF   ? 4096
                                            : b3 == 0xFE ? 1024
                                            : b3 == 0xFD ? 256
                                                         : b3 + 3;
                    t = {Kind::Far, len, ((b1 & 0x3F) << 8) + b2 + 1};
                    EXPECT_GE(len, 4u) << "far match shorter than 4 at output " << w.Output.size();
                }
                EXPECT_EQ(int(t.K), int(CheapestKind(t.Distance, t.Length)))
                    << "match of distance " << t.Distance << " and length " << t.Length
                    << " at output " << w.Output.size() << " is not of the cheapest kind";
                if (t.Distance > w.Output.size()) {
                    ADD_FAILURE() << "distance " << t.Distance << " reaches before the start";
                    return w;
                }
                for (std::size_t i = 0; i < t.Length; ++i)
                    w.Output.push_back(w.Output[w.Output.size() - t.Distance]);
            }
        }
        w.Bits += 8 * (ip - start) + 1;
        w.Tokens.push_back(t);
        flags = (flags << 1) & 0xFF;
        if (++inGroup == 8) {
            if (w.Output.size() >= unpacked) {
                // The closing flag byte: present, 0, and the last byte of the body.
                EXPECT_EQ(ip + 1, body.size()) << "closing flag byte";
                if (ip < body.size()) {
                    EXPECT_EQ(body[ip], 0) << "closing flag byte";
                }
                return w;
            }
            flags = take();
            inGroup = 0;
        }
    }
    EXPECT_EQ(w.Output.size(), unpacked) << "the last token ends past UnpackedSize";
    EXPECT_EQ(flags, 0u) << "unused flag bits of the last group";
    EXPECT_EQ(ip, body.size()) << "bytes behind the last token";
    return w;
}

Bytes Decode(const Bytes& Payload) {
    TCustomMemoryStream source(Payload.data(), Payload.size());
    TMemoryStream target;
    DecodePackedStream(source, target);
    return target.Data();
}

// Packs, decodes through the product's decoder, and walks the body for the conventions.
Walk CheckRoundTrip(const Bytes& Data) {
    const Bytes payload = PackPayload(Data.data(), Data.size());
    EXPECT_EQ(LE32(payload, 8), Data.size()) << "UnpackedSize";
    EXPECT_TRUE(Decode(payload) == Data) << "decoded bytes differ from the source";
    Walk w = WalkPayload(payload);
    EXPECT_TRUE(w.Output == Data) << "walked bytes differ from the source";
    EXPECT_NO_THROW(VerifyPayload(payload, Data.data(), Data.size()));
    return w;
}

struct RoundTripCase {
    const char* Name;
    Bytes Data;
};

TEST(PackPayload, RoundTripsVariedData) {
    const std::size_t MiB = 1u << 20;
    const RoundTripCase cases[] = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two equal bytes", {7, 7}},
        {"all same, 5", Bytes(5, 'x')},
        {"all same, 300", Bytes(300, 0)},
        {"all same, 1025", Bytes(1025, 0xFF)},
        {"all same, 4097", Bytes(4097, 'x')},
        {"all same, 100000", Bytes(100000, 0)},
        {"7 random", Random(7, 1)},
        {"8 random", Random(8, 2)},
        {"9 random", Random(9, 3)},
        {"40 random", Random(40, 4)},
        {"41 random", Random(41, 5)},
        {"63 random", Random(63, 6)},
        {"64 random", Random(64, 7)},
        {"65 random", Random(65, 8)},
        {"random, 50000", Random(50000, 9)},
        {"small alphabet", Random(30000, 10, 4)},
        {"text", Text(60000, 11)},
        {"mixed", Mixed(200000, 12)},
        {"distances past 16384", Mixed(70000, 13)},
        {"2 MiB - 1", Repetitive(2 * MiB - 1, 14)},
        {"2 MiB", Repetitive(2 * MiB, 15)},
        {"2 MiB + 1", Repetitive(2 * MiB + 1, 16)},
        {"3 MiB + 4097", Repetitive(3 * MiB + 4097, 17)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        CheckRoundTrip(c.Data);
    }
}

// Every token count modulo 8, so the closing flag byte is met both present and absent.
TEST(PackPayload, GroupBoundaries) {
    bool residues[8] = {};
    for (std::size_t n = 1; n <= 70; ++n) {
        SCOPED_TRACE(n);
        Bytes distinct(n); // no byte repeats, so nothing can match
        for (std::size_t i = 0; i < n; ++i)
            distinct[i] = std::uint8_t(i * 97 + n);
        residues[CheckRoundTrip(distinct).Tokens.size() % 8] = true;
    }
    EXPECT_EQ(std::count(std::begin(residues), std::end(residues), true), 8);
}

TEST(PackPayload, ExactEncodings) {
    struct Case {
        const char* Name;
        Bytes Data;
        Bytes Body;
    };
    const Bytes eight = Random(8, 21);
    const Bytes nine = Random(9, 22);
    Bytes eightBody = {0x00};
    eightBody.insert(eightBody.end(), eight.begin(), eight.end());
    eightBody.push_back(0x00);
    Bytes nineBody = {0x80, 0x03};
    nineBody.insert(nineBody.end(), nine.begin(), nine.end());
    const Case cases[] = {
        // A lone flag byte: the body starts with one even when no token follows.
        {"empty", {}, {0x00}},
        {"one literal", {'x'}, {0x00, 'x'}},
        {"distance 1, length 4 is a short match", Bytes(5, 'x'), {0x40, 'x', 0x02}},
        {"distance 1, length 18 is a near match", Bytes(19, 'x'), {0x40, 'x', 0x80, 0x0F}},
        {"length 4096 is a far match", Bytes(4097, 'x'), {0x40, 'x', 0xC0, 0x00, 0xFF}},
        {"eight literals close their group", eight, eightBody},
        {"nine literals are a run", nine, nineBody},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const Bytes payload = PackPayload(c.Data.data(), c.Data.size());
        EXPECT_EQ(Bytes(payload.begin() + 16, payload.end()), c.Body);
        CheckRoundTrip(c.Data);
    }
}

// Lengths a far match cannot express (257-1023, 1025-4095) are split into ones it can.
TEST(PackPayload, SplitsLongMatches) {
    for (const std::size_t len : {257u, 600u, 1023u, 1024u, 1025u, 3000u, 4095u, 4096u, 9000u}) {
        SCOPED_TRACE(len);
        Bytes data = Random(50, len);
        const Bytes again(data.begin(), data.end());
        while (data.size() < 50 + len)
            data.insert(data.end(), again.begin(), again.end());
        data.resize(50 + len);
        const Walk w = CheckRoundTrip(data);
        for (const Token& t : w.Tokens)
            EXPECT_TRUE(t.K != Kind::Far || t.Length <= 256 || t.Length == 1024 ||
                        t.Length == 4096);
    }
}

// The cheapest encoding under the conventions, in bits (8 per token byte, 1 per token), found
// by trying every distance and length at every position.
std::uint64_t ExhaustiveBits(const Bytes& Data) {
    const std::size_t n = Data.size();
    constexpr std::uint64_t none = std::numeric_limits<std::uint64_t>::max();
    // cost[p][c]: reach p with c single literals just written.
    std::vector<std::array<std::uint64_t, 9>> cost(n + 1);
    for (auto& row : cost)
        row.fill(none);
    cost[0][0] = 0;
    auto lower = [&](std::size_t p, std::size_t c, std::uint64_t v) {
        cost[p][c] = std::min(cost[p][c], v);
    };
    for (std::size_t p = 0; p < n; ++p) {
        const std::uint64_t best = *std::min_element(cost[p].begin(), cost[p].end());
        for (std::size_t c = 0; c < 8; ++c)
            if (cost[p][c] != none)
                lower(p + 1, c + 1, cost[p][c] + 9);
        for (std::size_t len = 9; len <= 40 && p + len <= n; ++len)
            lower(p + len, 0, best + 8 * len + 9);
        for (std::size_t d = 1; d <= std::min<std::size_t>(p, 16384); ++d) {
            std::size_t len = 0;
            while (p + len < n && len < 4096 && Data[p + len] == Data[p + len - d])
                ++len;
            for (std::size_t l = 2; l <= len; ++l) {
                const Kind k = CheapestKind(d, l);
                const bool expressible = k == Kind::Short ? true
                                         : k == Kind::Near
                                             ? l >= 3
                                             : l >= 4 && (l <= 256 || l == 1024 || l == 4096);
                if (expressible)
                    lower(p + l, 0, best + (k == Kind::Short ? 9 : k == Kind::Near ? 17 : 25));
            }
        }
    }
    return *std::min_element(cost[n].begin(), cost[n].end());
}

TEST(PackPayload, ParseIsOptimalOnSmallInputs) {
    const RoundTripCase cases[] = {
        {"binary alphabet", Random(1200, 31, 2)},
        {"four letters", Random(1500, 32, 4)},
        {"sixteen letters", Random(2000, 33, 16)},
        {"text", Text(2500, 34)},
        {"mixed", Mixed(3000, 35)},
        {"literals and matches alternating",
         [] {
             Bytes b = Random(3000, 36);
             for (std::size_t i = 40; i + 12 < b.size(); i += 20)
                 std::copy_n(b.begin() + std::ptrdiff_t(i - 37), 3 + i % 9,
                             b.begin() + std::ptrdiff_t(i));
             return b;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const Walk w = CheckRoundTrip(c.Data);
        EXPECT_EQ(w.Bits, ExhaustiveBits(c.Data));
    }
}

TEST(PackPayload, RejectsInputsTooLargeForTheFormat) {
    const std::uint8_t byte = 0;
    EXPECT_THROW(PackPayload(&byte, std::size_t(Packed::MaxSize) + 1), EPackError);
}

TEST(VerifyPayload, ReportsADifference) {
    const Bytes data = Text(5000, 41);
    const Bytes payload = PackPayload(data.data(), data.size());
    Bytes other = data;
    other[4321] ^= 1;
    EXPECT_THROW(VerifyPayload(payload, other.data(), other.size()), EPackError);
    EXPECT_THROW(VerifyPayload(payload, data.data(), data.size() + 1), EPackError);
    Bytes trailing = payload;
    trailing.push_back(0);
    EXPECT_THROW(VerifyPayload(trailing, data.data(), data.size()), EPackError);
}

// The command, run as the build runs it, on files in a folder of the test's own.
class PackerCommand : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = std::filesystem::temp_directory_path() /
               ("packer-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(FDir);
        std::filesystem::create_directories(FDir);
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }

    std::string Path(const char* Name) const { return (FDir / Name).string(); }

    static void WriteFile(const std::string& Path, const Bytes& Data) {
        std::ofstream f(Path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
    }
    static Bytes ReadFile(const std::string& Path) {
        std::ifstream f(Path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }

    // Runs the packer; returns its exit code and leaves its stdout and stderr in Out and Err.
    int Run(const std::string& Args) {
        const std::string out = Path("stdout.txt");
        const std::string err = Path("stderr.txt");
        const std::string cmd = std::string(PACKER_EXE) + " " + Args + " >" + out + " 2>" + err;
        const int status = std::system(cmd.c_str());
        const Bytes o = ReadFile(out);
        const Bytes e = ReadFile(err);
        Out.assign(o.begin(), o.end());
        Err.assign(e.begin(), e.end());
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The names in the test folder, so that a leftover temporary file shows.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(FDir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path FDir;
    std::string Out;
    std::string Err;
};

TEST_F(PackerCommand, PackUnpackInfoRoundTrip) {
    const Bytes data = Mixed(100000, 51);
    WriteFile(Path("in.bin"), data);
    ASSERT_EQ(Run("pack " + Path("in.bin") + " " + Path("in.pkd")), 0) << Err;
    const Bytes payload = ReadFile(Path("in.pkd"));
    EXPECT_TRUE(payload == PackPayload(data.data(), data.size()));

    ASSERT_EQ(Run("unpack " + Path("in.pkd") + " " + Path("out.bin")), 0) << Err;
    EXPECT_TRUE(ReadFile(Path("out.bin")) == data);

    ASSERT_EQ(Run("info " + Path("in.pkd")), 0) << Err;
    EXPECT_NE(Out.find("Signature     59 42 83 03\n"), std::string::npos) << Out;
    EXPECT_NE(Out.find("PackedSize    " + std::to_string(payload.size() - 16) + "\n"),
              std::string::npos)
        << Out;
    EXPECT_NE(Out.find("UnpackedSize  100000\n"), std::string::npos) << Out;
    EXPECT_NE(Out.find("Reserved      0\n"), std::string::npos) << Out;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.bin", "in.pkd", "out.bin"}));
}

TEST_F(PackerCommand, EmptyFileRoundTrip) {
    WriteFile(Path("empty"), {});
    ASSERT_EQ(Run("pack " + Path("empty") + " " + Path("empty.pkd")), 0) << Err;
    EXPECT_EQ(ReadFile(Path("empty.pkd")).size(), 17u);
    ASSERT_EQ(Run("unpack " + Path("empty.pkd") + " " + Path("empty.out")), 0) << Err;
    EXPECT_TRUE(std::filesystem::exists(Path("empty.out")));
    EXPECT_EQ(std::filesystem::file_size(Path("empty.out")), 0u);
}

// A bad payload fails with a message and leaves neither OUT nor a temporary file; an OUT that
// was already there keeps its contents.
TEST_F(PackerCommand, UnpackFailuresLeaveNoOutput) {
    const Bytes data = Text(20000, 61);
    const Bytes good = PackPayload(data.data(), data.size());
    Bytes badDistance = {0x59, 0x42, 0x83, 0x03, 2, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x7C};
    Bytes truncated(good.begin(), good.end() - 100);
    Bytes badSignature = good;
    badSignature[0] = 0x58;
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes lying = good; // UnpackedSize larger than what the tokens produce
    lying[8] = std::uint8_t(lying[8] + 1);
    const std::pair<const char*, Bytes> cases[] = {
        {"distance before the start", badDistance},
        {"truncated body", truncated},
        {"bad signature", badSignature},
        {"bytes behind the body", trailing},
        {"UnpackedSize too large", lying},
        {"shorter than a header", Bytes(good.begin(), good.begin() + 10)},
    };
    for (const auto& [name, payload] : cases) {
        SCOPED_TRACE(name);
        WriteFile(Path("bad.pkd"), payload);
        EXPECT_NE(Run("unpack " + Path("bad.pkd") + " " + Path("out.bin")), 0);
        EXPECT_NE(Err.find("packer: "), std::string::npos);
        EXPECT_FALSE(Err.empty());
        EXPECT_EQ(Listing(), std::vector<std::string>{"bad.pkd"});

        WriteFile(Path("kept.bin"), {1, 2, 3});
        EXPECT_NE(Run("unpack " + Path("bad.pkd") + " " + Path("kept.bin")), 0);
        EXPECT_TRUE(ReadFile(Path("kept.bin")) == Bytes({1, 2, 3}));
        EXPECT_EQ(Listing(), (std::vector<std::string>{"bad.pkd", "kept.bin"}));
        std::filesystem::remove(Path("kept.bin"));
    }
}

TEST_F(PackerCommand, ReportsUsageAndMissingFiles) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("pack onlyone"), 2);
    EXPECT_EQ(Run("squash a b"), 2);
    EXPECT_NE(Run("pack " + Path("missing") + " " + Path("out.pkd")), 0);
    EXPECT_NE(Err.find("missing"), std::string::npos) << Err;
    EXPECT_NE(Run("pack " + Path("in") + " " + Path("no/such/dir/out.pkd")), 0);
    EXPECT_NE(Run("info " + Path("missing")), 0);
    EXPECT_EQ(Listing(), std::vector<std::string>{});
}

TEST_F(PackerCommand, InfoRejectsAMalformedHeader) {
    const Bytes data = Text(1000, 71);
    Bytes payload = PackPayload(data.data(), data.size());
    payload[12] = 1; // Reserved
    WriteFile(Path("bad.pkd"), payload);
    EXPECT_NE(Run("info " + Path("bad.pkd")), 0);
    EXPECT_NE(Out.find("Reserved      1\n"), std::string::npos) << Out;
    EXPECT_FALSE(Err.empty());
}

} // namespace
