// The maintainers' command: packer pack IN OUT | unpack IN OUT | info IN.
// OUT appears only complete: it is written to a temporary file beside it and renamed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iconv.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "classlib/Exceptions.h"
#include "classlib/Streams.h"
#include "payload/PackedStream.h"
#include "tools/packer/Packer.h"

namespace {

// A failure of the command, already worded for the user.
struct ECommandError {
    std::string Message;
};

[[noreturn]] void Fail(const std::string& Message) {
    throw ECommandError{Message};
}

std::string SystemError(const std::string& What, const std::string& Path) {
    return What + " " + Path + ": " + std::strerror(errno);
}

// The class library's messages are Shift-JIS; the terminal wants UTF-8.
std::string FromShiftJis(const std::string& Text) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == iconv_t(-1))
        return Text;
    std::string out(Text.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(Text.data());
    std::size_t inLeft = Text.size();
    char* op = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &op, &outLeft);
    iconv_close(cd);
    if (rc == std::size_t(-1))
        return Text;
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::uint8_t> ReadFile(const std::string& Path) {
    const int fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail(SystemError("cannot open", Path));
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const std::string message = SystemError("cannot read", Path);
            close(fd);
            Fail(message);
        }
        if (n == 0)
            break;
        data.insert(data.end(), chunk, chunk + n);
    }
    close(fd);
    return data;
}

// A file written under a temporary name in OUT's folder; Commit renames it to OUT, and a file
// that is never committed is removed, so a failure leaves no OUT behind.
class TOutputFile : public TStream {
public:
    explicit TOutputFile(std::string Path) : FPath(std::move(Path)) {
        const std::size_t slash = FPath.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : FPath.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? FPath : FPath.substr(slash + 1);
        FTemp = dir + "." + base + ".XXXXXX";
        FFd = mkstemp(FTemp.data());
        if (FFd < 0)
            Fail(SystemError("cannot create a file beside", FPath));
        // mkstemp makes the file private; give it the mode a plain create would have.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(FFd, 0666 & ~mask);
    }
    ~TOutputFile() override {
        if (FFd >= 0)
            close(FFd);
        if (!FCommitted)
            unlink(FTemp.c_str());
    }

    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* Buffer, std::size_t Count) override {
        const auto* p = static_cast<const std::uint8_t*>(Buffer);
        std::size_t done = 0;
        while (done < Count) {
            const ssize_t n = write(FFd, p + done, Count - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail(SystemError("cannot write", FTemp));
            done += std::size_t(n);
        }
        return Count;
    }

    void Commit() {
        const int fd = FFd;
        FFd = -1;
        if (close(fd) != 0)
            Fail(SystemError("cannot write", FTemp));
        if (rename(FTemp.c_str(), FPath.c_str()) != 0)
            Fail(SystemError("cannot rename " + FTemp + " to", FPath));
        FCommitted = true;
    }

private:
    std::string FPath;
    std::string FTemp;
    int FFd = -1;
    bool FCommitted = false;
};

void Pack(const std::string& In, const std::string& Out) {
    const std::vector<std::uint8_t> data = ReadFile(In);
    const std::vector<std::uint8_t> payload = PackPayload(data.data(), data.size());
    VerifyPayload(payload, data.data(), data.size());
    TOutputFile file(Out);
    file.WriteBuffer(payload.data(), payload.size());
    file.Commit();
    std::printf("%s: %zu -> %zu bytes (%.3f)\n", In.c_str(), data.size(), payload.size(),
                data.empty() ? 0.0 : double(payload.size()) / double(data.size()));
}

void Unpack(const std::string& In, const std::string& Out) {
    const std::vector<std::uint8_t> payload = ReadFile(In);
    TCustomMemoryStream source(payload.data(), payload.size());
    TOutputFile file(Out);
    DecodePackedStream(source, file);
    if (source.Position() != payload.size())
        Fail(In + ": " + std::to_string(payload.size() - source.Position()) +
             " bytes follow the payload's body");
    file.Commit();
}

std::uint32_t LoadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Prints the header fields; fails after printing when the header or the file's length is wrong.
void Info(const std::string& In) {
    const std::vector<std::uint8_t> payload = ReadFile(In);
    if (payload.size() < Packed::HeaderSize)
        Fail(In + ": " + std::to_string(payload.size()) + " bytes, shorter than a header");
    const std::uint8_t* h = payload.data();
    const std::uint32_t packed = LoadLE32(h + 4);
    const std::uint32_t unpacked = LoadLE32(h + 8);
    std::printf("Signature     %02X %02X %02X %02X\n", h[0], h[1], h[2], h[3]);
    std::printf("PackedSize    %u\n", packed);
    std::printf("UnpackedSize  %u\n", unpacked);
    std::printf("Reserved      %u\n", LoadLE32(h + 12));
    std::printf("File size     %zu\n", payload.size());
    if (unpacked)
        std::printf("Ratio         %.4f\n", double(Packed::HeaderSize + packed) / double(unpacked));
    std::uint8_t bytes[Packed::HeaderSize];
    std::memcpy(bytes, h, Packed::HeaderSize);
    Packed::ParseHeader(bytes);
    if (payload.size() != Packed::HeaderSize + std::size_t(packed))
        Fail(In + ": the file holds " + std::to_string(payload.size()) +
             " bytes, the header announces " +
             std::to_string(Packed::HeaderSize + std::size_t(packed)));
}

int Usage() {
    std::fputs("usage: packer pack IN OUT     pack IN into the payload OUT (verified)\n"
               "       packer unpack IN OUT   decode the payload IN into OUT\n"
               "       packer info IN         show the payload header of IN\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    try {
        if (command == "pack" && args.size() == 3)
            Pack(args[1], args[2]);
        else if (command == "unpack" && args.size() == 3)
            Unpack(args[1], args[2]);
        else if (command == "info" && args.size() == 2)
            Info(args[1]);
        else
            return Usage();
        return 0;
    } catch (const ECommandError& e) {
        std::fprintf(stderr, "packer: %s\n", e.Message.c_str());
    } catch (const Exception& e) {
        std::fprintf(stderr, "packer: %s %s: %s\n", command.c_str(), args[1].c_str(),
                     FromShiftJis(e.Message()).c_str());
    } catch (const EPackError& e) {
        std::fprintf(stderr, "packer: %s %s: %s\n", command.c_str(), args[1].c_str(), e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "packer: %s %s: out of memory\n", command.c_str(), args[1].c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "packer: %s %s: %s\n", command.c_str(), args[1].c_str(), e.what());
    }
    return 1;
}
