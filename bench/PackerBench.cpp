// Google Benchmark: the packer's time and packed size beside LZ4 HC at its highest level, on the
// four stand-in game files and on any files named in PACKER_BENCH_FILES (colon-separated).
// Counters: Ratio is packed/unpacked for the payload (header included) or the LZ4 block.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <lz4hc.h>
#include <memory>
#include <string>
#include <vector>

#include "tools/packer/Packer.h"
#include "tools/standins/StandIns.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Pack(benchmark::State& State, const Bytes& Data) {
    std::size_t packed = 0;
    for (auto _ : State) {
        const Bytes payload = PackPayload(Data.data(), Data.size());
        packed = payload.size();
        benchmark::DoNotOptimize(payload.data());
    }
    State.SetBytesProcessed(State.iterations() * std::int64_t(Data.size()));
    State.counters["Packed"] = double(packed);
    State.counters["Ratio"] = double(packed) / double(Data.size());
}

void Lz4Hc(benchmark::State& State, const Bytes& Data) {
    Bytes out(std::size_t(LZ4_compressBound(int(Data.size()))));
    int packed = 0;
    for (auto _ : State) {
        packed = LZ4_compress_HC(reinterpret_cast<const char*>(Data.data()),
                                 reinterpret_cast<char*>(out.data()), int(Data.size()),
                                 int(out.size()), LZ4HC_CLEVEL_MAX);
        benchmark::DoNotOptimize(out.data());
    }
    if (packed <= 0)
        State.SkipWithError("LZ4_compress_HC failed");
    State.SetBytesProcessed(State.iterations() * std::int64_t(Data.size()));
    State.counters["Packed"] = double(packed);
    State.counters["Ratio"] = double(packed) / double(Data.size());
}

void Register(const std::string& Name, Bytes Data) {
    auto shared = std::make_shared<Bytes>(std::move(Data));
    benchmark::RegisterBenchmark(("Pack/" + Name).c_str(),
                                 [shared](benchmark::State& s) { Pack(s, *shared); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("Lz4HcMax/" + Name).c_str(),
                                 [shared](benchmark::State& s) { Lz4Hc(s, *shared); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

Bytes ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv) {
    // The executable's stand-in without its program image: the overlay is what the content is.
    for (std::size_t i = 0; i < StandIns::Files.size(); ++i)
        Register(StandIns::Files[i].FileName, StandIns::Generate(i, {}));
    if (const char* list = std::getenv("PACKER_BENCH_FILES")) {
        std::string paths = list;
        for (std::size_t start = 0; start <= paths.size();) {
            const std::size_t end = std::min(paths.find(':', start), paths.size());
            const std::string path = paths.substr(start, end - start);
            if (!path.empty())
                Register(path, ReadFile(path));
            start = end + 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
