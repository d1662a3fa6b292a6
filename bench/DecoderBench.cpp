// Decode throughput of DecodePackedStream on a 3124554-byte data file beside memcpy, LZ4 (HC at
// its highest level) and LZF on the same content, and the decoder's peak heap use.
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

// The size of the game's largest data file.
constexpr std::size_t ContentSize = 3124554;

struct Corpus {
    std::vector<std::uint8_t> Content;
    std::vector<std::uint8_t> Payload;
    std::vector<char> Lz4;
    std::vector<std::uint8_t> Lzf;
};

const Corpus& TheCorpus() {
    static const Corpus c = [] {
        Corpus k;
        k.Content = Bench::MixedContent(ContentSize);
        k.Payload = PackPayload(k.Content.data(), k.Content.size());

        const int srcSize = int(k.Content.size());
        k.Lz4.resize(std::size_t(LZ4_compressBound(srcSize)));
        const int lz4Size =
            LZ4_compress_HC(reinterpret_cast<const char*>(k.Content.data()), k.Lz4.data(), srcSize,
                            int(k.Lz4.size()), LZ4HC_CLEVEL_MAX);
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
    }();
    return c;
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
    State.SetBytesProcessed(State.iterations() * std::int64_t(ContentSize));
    State.counters["ratio%"] = 100.0 * double(Packed) / double(ContentSize);
}

void BM_DecodePackedStream(benchmark::State& State) {
    const Corpus& c = TheCorpus();
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
    const Corpus& c = TheCorpus();
    std::vector<std::uint8_t> out(c.Content.size());
    for (auto _ : State) {
        std::memcpy(out.data(), c.Content.data(), c.Content.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    Ratio(State, c.Content.size());
}

void BM_LZ4_decompress_safe(benchmark::State& State) {
    const Corpus& c = TheCorpus();
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
    const Corpus& c = TheCorpus();
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

// With --benchmark_repetitions: the least disturbed repetition, for the ratios below.
double Min(const std::vector<double>& V) {
    return *std::min_element(V.begin(), V.end());
}

BENCHMARK(BM_DecodePackedStream)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Min);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Min);
BENCHMARK(BM_LZ4_decompress_safe)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Min);
BENCHMARK(BM_lzf_decompress)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", Min);

// The console report, then the decoder's throughput as a multiple of each peer's, from each
// benchmark's fastest repetition (the machine may be shared; the best run is the least
// disturbed one).
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& r : Runs) {
            const bool best = r.run_type == Run::RT_Iteration ||
                              (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min");
            if (!best || r.error_occurred)
                continue;
            const double seconds = r.GetAdjustedCPUTime() / 1e6; // the unit is microseconds
            auto [it, added] = FBest.try_emplace(r.run_name.function_name, seconds);
            if (!added)
                it->second = std::min(it->second, seconds);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto ours = FBest.find("BM_DecodePackedStream");
        if (ours == FBest.end())
            return;
        std::printf("\nBest of each, %zu bytes out:\n", ContentSize);
        for (const auto& [name, seconds] : FBest)
            std::printf("  %-24s %8.1f MB/s\n", name.c_str() + 3,
                        double(ContentSize) / seconds / 1e6);
        for (const auto& [name, seconds] : FBest)
            if (name != ours->first)
                std::printf("DecodePackedStream / %s: %.2fx\n", name.c_str() + 3,
                            seconds / ours->second);
    }

private:
    std::map<std::string, double> FBest;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
