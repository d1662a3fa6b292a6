// TStream, the byte stream every reader and writer of the program goes through, with the
// memory-backed kinds: TCustomMemoryStream (a read-only view) and TMemoryStream (owned, growable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TStream {
public:
    TStream() = default;
    virtual ~TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to Count bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    // Writes up to Count bytes; returns how many were taken.
    virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;

    // Exactly Count bytes, or EReadError / EWriteError. A count of 0 touches nothing.
    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count);
};

// A view over memory someone else owns; reads move Position, writes are refused.
class TCustomMemoryStream : public TStream {
public:
    TCustomMemoryStream() = default;
    TCustomMemoryStream(const void* Memory, std::size_t Size) { SetPointer(Memory, Size); }

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;

    const std::uint8_t* Memory() const { return FMemory; }
    std::size_t Size() const { return FSize; }
    std::size_t Position() const { return FPosition; }
    void SetPosition(std::size_t Pos) { FPosition = Pos; }

protected:
    void SetPointer(const void* Memory, std::size_t Size);

private:
    const std::uint8_t* FMemory = nullptr;
    std::size_t FSize = 0;
    std::size_t FPosition = 0;
};

// An owned, growable memory stream: writes append or overwrite at Position.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> Data) : FData(std::move(Data)) {}

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;

    const std::vector<std::uint8_t>& Data() const { return FData; }
    std::size_t Size() const { return FData.size(); }
    std::size_t Position() const { return FPosition; }
    void SetPosition(std::size_t Pos) { FPosition = Pos; }

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPosition = 0;
};
