// The stand-in game files: exact sizes, determinism, the program image in front of the
// executable's overlay, the archive layout of the data files, compressibility near the shipped
// payloads', and the standins command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tools/packer/Packer.h"
#include "tools/standins/StandIns.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A stand-in for the stand-in program: what matters is that its bytes come first, unchanged.
Bytes FakeStub() {
    Bytes stub(20000);
    stub[0] = 'M';
    stub[1] = 'Z';
    for (std::size_t i = 2; i < stub.size(); ++i)
        stub[i] = std::uint8_t(i * 7 + i / 256);
    return stub;
}

std::uint32_t LE32(const Bytes& b, std::size_t At) {
    return std::uint32_t(b[At]) | std::uint32_t(b[At + 1]) << 8 | std::uint32_t(b[At + 2]) << 16 |
           std::uint32_t(b[At + 3]) << 24;
}

TEST(StandIns, SizesAndDeterminism) {
    const std::size_t shipped[] = {1378304, 3124554, 54870, 29045};
    const Bytes stub = FakeStub();
    for (std::size_t i = 0; i < StandIns::Files.size(); ++i) {
        SCOPED_TRACE(StandIns::Files[i].FileName);
        const Bytes now = StandIns::Generate(i, stub);
        const Bytes old = StandIns::Generate(i, stub, true);
        EXPECT_EQ(now.size(), shipped[i]);
        EXPECT_EQ(old.size(), StandIns::Files[i].OldSize);
        EXPECT_NE(old.size(), now.size());
        EXPECT_GE(old.size() * 10, now.size() * 9);
        EXPECT_LE(old.size() * 10, now.size() * 11);
        EXPECT_TRUE(StandIns::Generate(i, stub) == now) << "not deterministic";
        const std::size_t common = std::min(now.size(), old.size());
        const auto same = std::mismatch(now.begin() + std::ptrdiff_t(i == 0 ? stub.size() : 8),
                                        now.begin() + std::ptrdiff_t(common),
                                        old.begin() + std::ptrdiff_t(i == 0 ? stub.size() : 8));
        EXPECT_NE(same.first, now.begin() + std::ptrdiff_t(common)) << "old equals new";
    }
}

TEST(StandIns, ExecutableStartsWithTheProgramImage) {
    const Bytes stub = FakeStub();
    for (const bool old : {false, true}) {
        const Bytes exe = StandIns::Generate(0, stub, old);
        EXPECT_TRUE(std::equal(stub.begin(), stub.end(), exe.begin()));
    }
    EXPECT_EQ(StandIns::Generate(0, {}).size(), StandIns::Files[0].Size);
    EXPECT_THROW(StandIns::Generate(0, Bytes(StandIns::Files[0].Size + 1, 0)),
                 std::invalid_argument);
    EXPECT_NO_THROW(StandIns::Generate(0, Bytes(StandIns::Files[0].Size, 0)));
    EXPECT_THROW(StandIns::Generate(4, stub), std::invalid_argument);
}

// The data files are archives whose directory accounts for every byte after it.
TEST(StandIns, DataFilesAreArchives) {
    for (std::size_t i = 1; i < StandIns::Files.size(); ++i) {
        SCOPED_TRACE(StandIns::Files[i].FileName);
        const Bytes b = StandIns::Generate(i, {});
        ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "MBL1");
        const std::size_t entries = LE32(b, 4);
        ASSERT_GT(entries, 0u);
        std::size_t expected = 8 + 24 * entries;
        for (std::size_t e = 0; e < entries; ++e) {
            const std::size_t at = 8 + 24 * e;
            EXPECT_EQ(LE32(b, at + 16), expected) << "entry " << e;
            EXPECT_GT(LE32(b, at + 20), 0u) << "entry " << e;
            expected += LE32(b, at + 20);
        }
        EXPECT_EQ(expected, b.size());
    }
    // The scripts are Shift-JIS: 【リオナ】 as the game stores it.
    const Bytes data = StandIns::Generate(1, {});
    const Bytes speaker = {0x81, 0x79, 0x83, 0x8A, 0x83, 0x49, 0x83, 0x69, 0x81, 0x7A};
    EXPECT_NE(std::search(data.begin(), data.end(), speaker.begin(), speaker.end()), data.end());
}

// Packed about as small as the shipped payloads (752265, 1948565, 36540 and 26805 bytes).
TEST(StandIns, CompressLikeTheGameFiles) {
    const double shipped[] = {0.546, 0.624, 0.666, 0.923};
    const Bytes stub = FakeStub();
    for (std::size_t i = 0; i < StandIns::Files.size(); ++i) {
        SCOPED_TRACE(StandIns::Files[i].FileName);
        const Bytes b = StandIns::Generate(i, stub);
        const double ratio = double(PackPayload(b.data(), b.size()).size()) / double(b.size());
        EXPECT_NEAR(ratio, shipped[i], 0.03);
    }
}

class StandInsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = std::filesystem::temp_directory_path() /
               ("standins-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(FDir);
        std::filesystem::create_directories(FDir);
        const Bytes stub = FakeStub();
        std::ofstream(FDir / "stub.exe", std::ios::binary)
            .write(reinterpret_cast<const char*>(stub.data()), std::streamsize(stub.size()));
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }

    int Run(const std::string& Args) {
        const std::string cmd =
            std::string(STANDINS_EXE) + " " + Args + " 2>" + (FDir / "stderr.txt").string();
        const int status = std::system(cmd.c_str());
        std::ifstream f(FDir / "stderr.txt");
        Err.assign(std::istreambuf_iterator<char>(f), {});
        std::filesystem::remove(FDir / "stderr.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::filesystem::path FDir;
    std::string Err;
};

TEST_F(StandInsCommand, WritesTheFourFiles) {
    const std::string stub = (FDir / "stub.exe").string();
    for (const bool old : {false, true}) {
        SCOPED_TRACE(old ? "old" : "new");
        const std::filesystem::path out = FDir / (old ? "old" : "new");
        ASSERT_EQ(Run(out.string() + " --exe-stub " + stub + (old ? " --old" : "")), 0) << Err;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"KALDOREN.EXE", "mg_data.mbl", "mg_data2.mbl",
                                                   "mg_gra3.mbl"}));
        for (std::size_t i = 0; i < StandIns::Files.size(); ++i) {
            std::ifstream f(out / StandIns::Files[i].FileName, std::ios::binary);
            const Bytes b{std::istreambuf_iterator<char>(f), {}};
            EXPECT_TRUE(b == StandIns::Generate(i, FakeStub(), old)) << StandIns::Files[i].FileName;
        }
    }
}

TEST_F(StandInsCommand, Failures) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run((FDir / "out").string()), 2);
    EXPECT_EQ(Run((FDir / "out").string() + " --exe-stub"), 2);
    EXPECT_EQ(
        Run((FDir / "out").string() + " --exe-stub " + (FDir / "stub.exe").string() + " --fast"),
        2);
    EXPECT_EQ(Run((FDir / "out").string() + " --exe-stub " + (FDir / "missing.exe").string()), 1);
    EXPECT_NE(Err.find("missing.exe"), std::string::npos) << Err;
    EXPECT_FALSE(std::filesystem::exists(FDir / "out"));

    const Bytes big(StandIns::Files[0].Size + 1, 0);
    std::ofstream(FDir / "big.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(big.data()), std::streamsize(big.size()));
    EXPECT_EQ(Run((FDir / "out").string() + " --exe-stub " + (FDir / "big.exe").string()), 1);
    EXPECT_FALSE(std::filesystem::exists(FDir / "out"));
}

} // namespace
