// The packed payload format (a 16-byte header, then flag bytes and LZ77 tokens) and
// DecodePackedStream, which turns one payload read from a stream into its bytes on another.
#pragma once

#include <cstddef>
#include <cstdint>

class TStream;

namespace Packed {
inline constexpr std::uint8_t Signature[4] = {0x59, 0x42, 0x83, 0x03};
inline constexpr std::size_t HeaderSize = 16;
// Spare bytes behind the body: a flag fetch past the last token lands here, never outside.
inline constexpr std::size_t InputSlack = 256;
inline constexpr std::size_t WindowSize = 3u << 20;
inline constexpr std::size_t BlockSize = 1u << 20;
// Writing starts once this much has been produced; what stays (1 MiB) covers every distance.
inline constexpr std::size_t FlushThreshold = 2u << 20;
inline constexpr std::size_t MaxDistance = 16384;
inline constexpr std::size_t MaxTokenLength = 4096;
// Both sizes are signed 32-bit quantities in the format.
inline constexpr std::uint32_t MaxSize = 0x7FFFFFFFu;

static_assert(FlushThreshold + MaxTokenLength <= WindowSize,
              "a token must fit above the threshold");
static_assert(FlushThreshold - BlockSize >= MaxDistance, "history kept after a flush");

struct Header {
    std::uint8_t Signature[4];
    std::uint32_t PackedSize;
    std::uint32_t UnpackedSize;
    std::uint32_t Reserved;
};

// Parses and checks the 16 header bytes; EReadError ("圧縮データの形式が不正です") when the
// signature, the reserved field or either size is out of range.
Header ParseHeader(const std::uint8_t (&Bytes)[HeaderSize]);
} // namespace Packed

// Reads one payload from Source (its header, then its body, in exactly two reads) and writes
// the decoded bytes to Target in blocks of 1 MiB, then the rest. Raises EReadError for a short
// source or a malformed payload, EWriteError for a short write, EOutOfMemory. Not re-entrant:
// its two buffers are module-level and released on every way out.
void DecodePackedStream(TStream& Source, TStream& Target);
