#include "payload/PackedStream.h"

#include <cstring>
#include <new>

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"
#include "classlib/Streams.h"

namespace {

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
    using namespace Packed;
    std::uint8_t headerBytes[HeaderSize];
    Source.ReadBuffer(headerBytes, HeaderSize);
    const Header h = ParseHeader(headerBytes);

    BufferRelease release;
    InputBuffer = Allocate(std::size_t(h.PackedSize) + InputSlack);
    Window = Allocate(WindowSize);
    std::memset(InputBuffer + h.PackedSize, 0, InputSlack);
    Source.ReadBuffer(InputBuffer, h.PackedSize);

    const std::uint8_t* const in = InputBuffer;
    const std::size_t inSize = h.PackedSize;
    const std::size_t outSize = h.UnpackedSize;
    std::size_t ip = 0;       // read position in the body
    std::size_t wp = 0;       // write position in the window
    std::size_t produced = 0; // bytes produced so far

    unsigned flags = in[ip++];
    unsigned tokens = 0;
    while (produced < outSize) {
        std::size_t length;
        if (!(flags & 0x80)) {
            if (ip >= inSize || outSize - produced < 1)
                Malformed();
            Window[wp] = in[ip++];
            length = 1;
        } else {
            if (ip >= inSize)
                Malformed();
            const unsigned b1 = in[ip++];
            if (b1 < 0x80 && (b1 & 3) == 3) {
                length = (b1 >> 2) + 9;
                if (length > inSize - ip || length > outSize - produced)
                    Malformed();
                std::memcpy(Window + wp, in + ip, length);
                ip += length;
            } else {
                std::size_t distance;
                if (b1 < 0x80) {
                    distance = (b1 >> 2) + 1;
                    length = (b1 & 3) + 2;
                } else if (b1 < 0xC0) {
                    if (ip >= inSize)
                        Malformed();
                    const unsigned b2 = in[ip++];
                    distance = ((b1 & 0x3Fu) << 4) + (b2 >> 4) + 1;
                    length = (b2 & 0x0F) + 3;
                } else {
                    if (inSize - ip < 2)
                        Malformed();
                    const unsigned b2 = in[ip++];
                    const unsigned b3 = in[ip++];
                    distance = ((b1 & 0x3Fu) << 8) + b2 + 1;
                    length = b3 == 0xFF ? 4096 : b3 == 0xFE ? 1024 : b3 == 0xFD ? 256 : b3 + 3;
                }
                if (distance > produced || length > outSize - produced)
                    Malformed();
                // Byte by byte, ascending: an overlapping match repeats what it just produced.
                for (std::size_t i = 0; i < length; ++i)
                    Window[wp + i] = Window[wp + i - distance];
            }
        }
        wp += length;
        produced += length;
        flags = (flags << 1) & 0xFF;
        if (++tokens == 8) {
            flags = in[ip++]; // at most inSize: the spare bytes take a fetch past the body
            tokens = 0;
        }
        if (wp >= FlushThreshold) {
            Target.WriteBuffer(Window, BlockSize);
            std::memmove(Window, Window + BlockSize, wp - BlockSize);
            wp -= BlockSize;
        }
    }
    // After the last token only the flag byte fetched behind it, if any, may remain.
    const bool flagPending = tokens == 0;
    if (!(inSize == ip || (flagPending && inSize + 1 == ip)))
        Malformed();
    Target.WriteBuffer(Window, wp);
}
