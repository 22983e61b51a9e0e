// Encoder throughput (bytes of input per second) and compression ratio
// (stream bytes per input byte, as the counter "ratio"), beside zlib's
// deflate at level 9 and xz at presets 6 (its default) and 9 on the same
// corpora.
#include <stdint.h>

#include <vector>

#include <benchmark/benchmark.h>
#include <lzma.h>
#include <zlib.h>

#include "corpus.h"
#include "writer/encoder.h"

namespace {

constexpr size_t kCorpusSize = 4 << 20;

const std::vector<uint8_t>& corpusOf(int kind) {
    static const std::vector<uint8_t> text = corpus::textLike(kCorpusSize);
    static const std::vector<uint8_t> binary = corpus::binaryLike(kCorpusSize);
    static const std::vector<uint8_t> random = corpus::randomBytes(kCorpusSize);
    return kind == 0 ? text : kind == 1 ? binary : random;
}

const char* nameOf(int kind) {
    return kind == 0 ? "text" : kind == 1 ? "binary" : "random";
}

void report(benchmark::State& state, size_t inputSize, size_t outputSize) {
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)inputSize);
    state.counters["ratio"] = (double)outputSize / (double)inputSize;
    state.SetLabel(nameOf((int)state.range(0)));
}

void BM_EncodeStream(benchmark::State& state) {
    const std::vector<uint8_t>& data = corpusOf((int)state.range(0));
    size_t streamSize = 0;
    for (auto _ : state) {
        std::vector<uint8_t> stream = encodeStream(data);
        streamSize = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    report(state, data.size(), streamSize);
}

void BM_DeflateLevel9(benchmark::State& state) {
    const std::vector<uint8_t>& data = corpusOf((int)state.range(0));
    std::vector<uint8_t> out(compressBound((uLong)data.size()));
    uLongf outSize = 0;
    for (auto _ : state) {
        outSize = (uLongf)out.size();
        if (compress2(out.data(), &outSize, data.data(), (uLong)data.size(), 9) != Z_OK) {
            state.SkipWithError("compress2 failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    report(state, data.size(), outSize);
}

void BM_Xz(benchmark::State& state) {
    const std::vector<uint8_t>& data = corpusOf((int)state.range(0));
    std::vector<uint8_t> out(lzma_stream_buffer_bound(data.size()));
    size_t outSize = 0;
    for (auto _ : state) {
        outSize = 0;
        if (lzma_easy_buffer_encode((uint32_t)state.range(1), LZMA_CHECK_CRC32, nullptr, data.data(), data.size(),
                                    out.data(), &outSize, out.size()) != LZMA_OK) {
            state.SkipWithError("xz failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    report(state, data.size(), outSize);
}

}  // namespace

BENCHMARK(BM_Xz)->ArgsProduct({{0, 1, 2}, {6, 9}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeStream)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateLevel9)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
