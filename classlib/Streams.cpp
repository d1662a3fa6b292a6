#include "classlib/Streams.h"

#include <algorithm>
#include <cstring>

#include "classlib/Exceptions.h"

void TStream::ReadBuffer(void* Buffer, std::size_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, std::size_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError();
}

void TCustomMemoryStream::SetPointer(const void* Memory, std::size_t Size) {
    FMemory = static_cast<const std::uint8_t*>(Memory);
    FSize = Size;
    FPosition = 0;
}

std::size_t TCustomMemoryStream::Read(void* Buffer, std::size_t Count) {
    if (FPosition >= FSize)
        return 0;
    const std::size_t n = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, FMemory + FPosition, n);
    FPosition += n;
    return n;
}

std::size_t TCustomMemoryStream::Write(const void*, std::size_t) {
    return 0;
}

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
    if (FPosition >= FData.size())
        return 0;
    const std::size_t n = std::min(Count, FData.size() - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count) {
    if (Count == 0)
        return 0;
    if (FPosition + Count > FData.size())
        FData.resize(FPosition + Count);
    std::memcpy(FData.data() + FPosition, Buffer, Count);
    FPosition += Count;
    return Count;
}
