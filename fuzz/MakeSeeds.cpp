// Writes the decoder fuzzer's seed corpus into the folder named on the command line: payloads
// of every token kind from the model, the format's corner cases, and packed slices of the
// stand-in game files and of data-file-like content.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchContent.h"
#include "tests/host/DecoderModel.h"
#ifdef SEEDS_FROM_PACKER
#include "tools/packer/Packer.h"
#include "tools/standins/StandIns.h"
#endif

namespace {

bool Write(const std::string& Folder, const std::string& Name,
           const std::vector<std::uint8_t>& Bytes) {
    const std::string path = Folder + "/" + Name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(Bytes.data(), 1, Bytes.size(), f) == Bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    int n = 0;
    auto put = [&](const std::vector<std::uint8_t>& Bytes) {
        ok = Write(folder, "seed-" + std::to_string(n++), Bytes) && ok;
    };

    put(Model::WithHeader({}, 0));
    put(Model::WithHeader({0x10, 0x61, 0x62, 0x63, 0x80, 0x26}, 12));
    put(Model::WithHeader({0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}, 8));
    put(Model::WithHeader({0x40, 'x', 0xC0, 0x00, 0xFF}, 4097));

    Model::RandomOptions kinds[5];
    kinds[1] = {80, 10, 5, 5, 0};
    kinds[2] = {10, 0, 70, 20, 0};
    kinds[3] = {30, 5, 5, 5, 55};
    kinds[4].DropClosingFlag = true;
    std::uint64_t seed = 1;
    for (const auto& opt : kinds)
        for (const std::size_t size : {1u, 8u, 100u, 1000u, 20000u, 40000u})
            put(Model::RandomPayload(seed++, size, opt).Payload);

#ifdef SEEDS_FROM_PACKER
    // Slices of the stand-in game files and of mixed content, packed as the build packs.
    std::vector<std::vector<std::uint8_t>> contents;
    for (std::size_t i = 0; i < StandIns::Files.size(); ++i)
        contents.push_back(StandIns::Generate(i, {}));
    contents.push_back(Bench::MixedContent(1u << 20));
    for (const auto& content : contents)
        for (std::size_t at = 0, size = 512; at + size <= content.size();
             at += 97 * size, size *= 4)
            put(PackPayload(content.data() + at, size));
#endif

    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the corpus in %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
