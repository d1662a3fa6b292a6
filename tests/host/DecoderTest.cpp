#include <gtest/gtest.h>

#include <vector>

#include "classlib/Exceptions.h"
#include "classlib/Streams.h"
#include "payload/PackedStream.h"

namespace {

TEST(DecodePackedStream, WorkedExample) {
    const std::vector<std::uint8_t> payload = {0x59, 0x42, 0x83, 0x03, 0x06, 0,   0, 0,
                                               0x0C, 0,    0,    0,    0,    0,   0, 0,
                                               0x10, 0x61, 0x62, 0x63, 0x80, 0x26};
    TMemoryStream source(payload);
    TMemoryStream target;
    DecodePackedStream(source, target);
    const std::string out(target.Data().begin(), target.Data().end());
    EXPECT_EQ(out, "abcabcabcabc");
}

} // namespace
