// libFuzzer target: any bytes as a payload. DecodePackedStream must reject exactly what the
// plain model rejects, produce exactly its bytes otherwise, and never touch memory outside its
// buffers (the sanitizers watch that).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"
#include "classlib/Streams.h"
#include "fuzz/Oracle.h"
#include "payload/PackedStream.h"

namespace {

[[noreturn]] void Fail(const char* What) {
    std::fprintf(stderr, "decoder and model disagree: %s\n", What);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // A header that promises far more body than there is only makes the decoder allocate that
    // much before its read fails; the failure itself is covered by small promises.
    if (Size >= Packed::HeaderSize) {
        std::uint32_t packed;
        std::memcpy(&packed, Data + 4, 4);
        if (packed <= Packed::MaxSize && packed > Size - Packed::HeaderSize + 65536)
            return 0;
    }
    const auto expected = OracleDecode(Data, Size);
    TCustomMemoryStream source(Data, Size);
    TMemoryStream target;
    try {
        DecodePackedStream(source, target);
    } catch (const EReadError& e) {
        if (expected)
            Fail("a valid payload was rejected");
        if (e.Message() != Messages::SInvalidPackedData && e.Message() != Messages::SReadError)
            Fail("rejected with an unexpected message");
        return 0;
    }
    if (!expected)
        Fail("an invalid payload was accepted");
    if (target.Data() != *expected)
        Fail("different output");
    return 0;
}
