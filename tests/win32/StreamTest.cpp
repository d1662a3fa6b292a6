#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "classlib/Exceptions.h"
#include "classlib/FileStream.h"
#include "classlib/ResourceStream.h"
#include "classlib/Win32Text.h"
#include "tests/support/TestFiles.h"

namespace {

using testfiles::Bytes;
using testfiles::TempFolder;

TEST(Environment, CodePageIsTheOneTheRunAskedFor) {
    // The wrapper states what its locale should give; a silent 1252 would hide every
    // Shift-JIS mistake in the A functions of the system.
    const char* expected = std::getenv("WINE_EXPECTED_ACP");
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

TEST(TFileStream, CreateTruncatesAnExistingFileAndHoldsItExclusively) {
    TempFolder dir;
    const auto path = dir.File("a.bin");
    testfiles::WriteAll(path, Bytes(100, 0xAA));
    {
        TFileStream stream(path, fmCreate);
        stream.WriteBuffer("xyz", 3);
        // No sharing: nobody else may open it while we write.
        HANDLE other = CreateFileW(ToWide(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(other, INVALID_HANDLE_VALUE);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }
    EXPECT_EQ(testfiles::ReadAll(path), (Bytes{'x', 'y', 'z'}));
}

TEST(TFileStream, CreateFailureNamesTheFile) {
    TempFolder dir;
    const auto path = dir.File("missing\\a.bin");
    try {
        TFileStream stream(path, fmCreate);
        FAIL() << "created " << path;
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + path + " を作成できません");
    }
    EXPECT_FALSE(testfiles::Exists(dir.File("missing")));
}

TEST(TFileStream, ReadBufferWantsExactCounts) {
    TempFolder dir;
    const auto path = dir.File("r.bin");
    testfiles::WriteAll(path, Bytes{1, 2, 3});
    TFileStream stream(path, fmOpenRead);
    std::uint8_t buf[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    stream.ReadBuffer(buf, 2);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[1], 2);
    EXPECT_EQ(buf[2], 0xEE);
    EXPECT_THROW(stream.ReadBuffer(buf, 2), EReadError);
    stream.ReadBuffer(buf, 0); // nothing asked, nothing read, no error
}

TEST(TResourceStream, IsAViewOfTheModuleImage) {
    TResourceStream stream(HInstance(), "HELLO", RT_RCDATA);
    ASSERT_EQ(stream.Size(), std::strlen("hello, resource"));
    EXPECT_EQ(std::memcmp(stream.Memory(), "hello, resource", stream.Size()), 0);
    // No copy: the bytes lie inside the loaded image.
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQuery(stream.Memory(), &info, sizeof info), 0u);
    EXPECT_EQ(info.AllocationBase, static_cast<void*>(HInstance()));

    char buf[5] = {};
    stream.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(stream.Position(), 5u);
    EXPECT_THROW(stream.ReadBuffer(buf, 5 + stream.Size()), EReadError);
    EXPECT_EQ(stream.Write("x", 1), 0u) << "a resource is read-only";
}

TEST(TResourceStream, MissingResourceNamesIt) {
    try {
        TResourceStream stream(HInstance(), "NOPE", RT_RCDATA);
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message(), "NOPE リソースが見つかりません");
    }
}

} // namespace
