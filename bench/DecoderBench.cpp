// Decode throughput of DecodePackedStream on the stand-in for the game's 3124554-byte data file
// (and on mixed content of that size) beside memcpy, LZ4 (HC at its highest level) and LZF on the
// same content, and the decoder's peak heap use against its budget.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <lz4hc.h>
#include <lzf.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchContent.h"
#include "classlib/Streams.h"
#include "payload/PackedStream.h"
#include "tools/packer/Packer.h"
#include "tools/standins/StandIns.h"

// Heap accounting for the whole binary: every allocation carries its size in front of it, so
// the peak during a decode can be read against the decoder's budget.
namespace {
constexpr std::size_t Front = alignof(std::max_align_t);
std::atomic<std::size_t> HeapInUse{0};
std::atomic<std::size_t> HeapPeak{0};

void* Track(std::size_t Size) {
    auto* p = static_cast<unsigned char*>(std::malloc(Size + Front));
    if (!p)
        return nullptr;
    std::memcpy(p, &Size, sizeof Size);
    const std::size_t now = HeapInUse += Size;
    std::size_t peak = HeapPeak.load();
    while (now > peak && !HeapPeak.compare_exchange_weak(peak, now)) {
    }
    return p + Front;
}
void Untrack(void* Ptr) {
    if (!Ptr)
        return;
    auto* p = static_cast<unsigned char*>(Ptr) - Front;
    std::size_t size;
    std::memcpy(&size, p, sizeof size);
    HeapInUse -= size;
    std::free(p);
}
} // namespace

void* operator new(std::size_t Size) {
    if (void* p = Track(Size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t Size) {
    return operator new(Size);
}
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
    return Track(Size);
}
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept {
    return Track(Size);
}
void operator delete(void* Ptr) noexcept {
    Untrack(Ptr);
}
void operator delete[](void* Ptr) noexcept {
    Untrack(Ptr);
}
void operator delete(void* Ptr, std::size_t) noexcept {
    Untrack(Ptr);
}
void operator delete[](void* Ptr, std::size_t) noexcept {
    Untrack(Ptr);
}

namespace {

// The stand-in for the game's largest data file, "mg_data.mbl", and content of the same size
// shaped like data files in general, for a second view of the token mix.
constexpr std::size_t StandIn = 1;
constexpr std::size_t ContentSize = StandIns::Files[StandIn].Size;
static_assert(ContentSize == 3124554);
const char* const ContentNames[] = {"mg_data.mbl", "mixed"};

struct Corpus {
    std::vector<std::uint8_t> Content;
    std::vector<std::uint8_t> Payload;
    std::vector<char> Lz4;
    std::vector<std::uint8_t> Lzf;
};

Corpus MakeCorpus(std::vector<std::uint8_t> Content) {
    Corpus k;
    k.Content = std::move(Content);
    k.Payload = PackPayload(k.Content.data(), k.Content.size());

    const int srcSize = int(k.Content.size());
    k.Lz4.resize(std::size_t(LZ4_compressBound(srcSize)));
    const int lz4Size = LZ4_compress_HC(reinterpret_cast<const char*>(k.Content.data()),
                                        k.Lz4.data(), srcSize, int(k.Lz4.size()), LZ4HC_CLEVEL_MAX);
    if (lz4Size <= 0)
        throw std::runtime_error("LZ4_compress_HC failed");
    k.Lz4.resize(std::size_t(lz4Size));

    k.Lzf.resize(k.Content.size() + k.Content.size() / 16 + 64);
    const unsigned lzfSize = lzf_compress(k.Content.data(), unsigned(k.Content.size()),
                                          k.Lzf.data(), unsigned(k.Lzf.size()));
    if (lzfSize == 0)
        throw std::runtime_error("lzf_compress failed");
    k.Lzf.resize(lzfSize);
    return k;
}

// By the benchmark's argument: 0 the stand-in, 1 the mixed content.
const Corpus& TheCorpus(const benchmark::State& State) {
    static const Corpus standIn = MakeCorpus(StandIns::Generate(StandIn, {}));
    static const Corpus mixed = MakeCorpus(Bench::MixedContent(ContentSize));
    return State.range(0) == 0 ? standIn : mixed;
}

// The target as the updater sees it, minus the disk: writes land in a buffer sized up front.
class TSinkStream : public TStream {
public:
    explicit TSinkStream(std::size_t Capacity) : FData(Capacity) {}
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* Buffer, std::size_t Count) override {
        Count = std::min(Count, FData.size() - FPosition);
        std::memcpy(FData.data() + FPosition, Buffer, Count);
        FPosition += Count;
        return Count;
    }
    void Rewind() { FPosition = 0; }
    bool Holds(const std::vector<std::uint8_t>& Expected) const {
        return FPosition == Expected.size() &&
               std::equal(Expected.begin(), Expected.end(), FData.begin());
    }

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPosition = 0;
};

void Ratio(benchmark::State& State, std::size_t Packed) {
    State.SetLabel(ContentNames[State.range(0)]);
    State.SetBytesProcessed(State.iterations() * std::int64_t(ContentSize));
    State.counters["ratio%"] = 100.0 * double(Packed) / double(ContentSize);
}

void BM_DecodePackedStream(benchmark::State& State) {
    const Corpus& c = TheCorpus(State);
    TSinkStream target(c.Content.size());
    {
        // One decode outside the timing: the output must be right, and its heap peak is the
        // decoder's working storage (the target and the corpus were allocated before).
        TCustomMemoryStream source(c.Payload.data(), c.Payload.size());
        const std::size_t before = HeapInUse.load();
        HeapPeak = before;
        DecodePackedStream(source, target);
        const std::size_t peak = HeapPeak.load() - before;
        if (!target.Holds(c.Content)) {
            State.SkipWithError("decoded bytes differ from the content");
            return;
        }
        const std::size_t packed = c.Payload.size() - Packed::HeaderSize;
        State.counters["peak_heap"] = double(peak);
        State.counters["budget"] = double(packed + Packed::InputSlack + Packed::WindowSize);
    }
    for (auto _ : State) {
        TCustomMemoryStream source(c.Payload.data(), c.Payload.size());
        target.Rewind();
        DecodePackedStream(source, target);
        benchmark::ClobberMemory();
    }
    Ratio(State, c.Payload.size());
}

void BM_Memcpy(benchmark::State& State) {
    const Corpus& c = TheCorpus(State);
    std::vector<std::uint8_t> out(c.Content.size());
    for (auto _ : State) {
        std::memcpy(out.data(), c.Content.data(), c.Content.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    Ratio(State, c.Content.size());
}

void BM_LZ4_decompress_safe(benchmark::State& State) {
    const Corpus& c = TheCorpus(State);
    std::vector<char> out(c.Content.size());
    for (auto _ : State) {
        const int n =
            LZ4_decompress_safe(c.Lz4.data(), out.data(), int(c.Lz4.size()), int(out.size()));
        if (n != int(c.Content.size())) {
            State.SkipWithError("LZ4_decompress_safe failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    if (std::memcmp(out.data(), c.Content.data(), out.size()) != 0)
        State.SkipWithError("LZ4 output differs");
    Ratio(State, c.Lz4.size());
}

void BM_lzf_decompress(benchmark::State& State) {
    const Corpus& c = TheCorpus(State);
    std::vector<std::uint8_t> out(c.Content.size());
    for (auto _ : State) {
        const unsigned n =
            lzf_decompress(c.Lzf.data(), unsigned(c.Lzf.size()), out.data(), unsigned(out.size()));
        if (n != c.Content.size()) {
            State.SkipWithError("lzf_decompress failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    if (std::memcmp(out.data(), c.Content.data(), out.size()) != 0)
        State.SkipWithError("LZF output differs");
    Ratio(State, c.Lzf.size());
}

BENCHMARK(BM_DecodePackedStream)->Unit(benchmark::kMicrosecond)->Arg(0)->Arg(1);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond)->Arg(0)->Arg(1);
BENCHMARK(BM_LZ4_decompress_safe)->Unit(benchmark::kMicrosecond)->Arg(0)->Arg(1);
BENCHMARK(BM_lzf_decompress)->Unit(benchmark::kMicrosecond)->Arg(0)->Arg(1);

// The console report, then the decoder's throughput as a multiple of each peer's on the same
// content, from each benchmark's fastest repetition: the machine may be shared, and the best
// run is the least disturbed one. Needs repetitions (not aggregates only).
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& r : Runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred)
                continue;
            const double seconds = r.GetAdjustedCPUTime() / 1e6; // the unit is microseconds
            auto [it, added] = FBest[r.report_label].try_emplace(r.run_name.function_name, seconds);
            if (!added)
                it->second = std::min(it->second, seconds);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [content, best] : FBest) {
            const auto ours = best.find("BM_DecodePackedStream");
            if (ours == best.end())
                continue;
            std::printf("\n%s, %zu bytes out, best of each:\n", content.c_str(), ContentSize);
            for (const auto& [name, seconds] : best)
                std::printf("  %-24s %8.1f MB/s\n", name.c_str() + 3,
                            double(ContentSize) / seconds / 1e6);
            for (const auto& [name, seconds] : best)
                if (name != ours->first)
                    std::printf("  DecodePackedStream / %s: %.2fx\n", name.c_str() + 3,
                                seconds / ours->second);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> FBest;
};

} // namespace

int main(int argc, char** argv) {
    // Repetitions of all four benchmarks in random order, so that a disturbed stretch of time on
    // a shared machine falls on each of them alike rather than on whichever ran then. Flags given
    // on the command line come later and win.
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=10";
    char interleaving[] = "--benchmark_enable_random_interleaving=true";
    args.push_back(repetitions);
    args.push_back(interleaving);
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
