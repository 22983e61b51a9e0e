// Expansion speed in MB/s of output: expandStream from a file into a file,
// and zlib's uncompress (deflated at level 9) and xz's decoder (preset 6, the
// xz tool's default) of the same bytes from memory into memory, in the same
// run; then the checksum over a large file.
#include <benchmark/benchmark.h>
#include <lzma.h>
#include <zlib.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "corpus.h"
#include "package/decompressor.h"
#include "package/package_format.h"
#include "writer/encoder.h"

namespace {

constexpr size_t kCorpusSize = 4 << 20;

// Made before the first benchmark and removed after the last (cleanUp below).
const std::filesystem::path kScratch =
    std::filesystem::temp_directory_path() / ("halv_package_bench_" + std::to_string(getpid()));

std::filesystem::path scratchFolder() {
    std::filesystem::create_directories(kScratch);
    return kScratch;
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        throw std::runtime_error("cannot write " + path.string());
    fclose(file);
}

struct Prepared {
    std::vector<uint8_t> data;
    std::vector<uint8_t> stream;
    std::vector<uint8_t> deflated;
    std::vector<uint8_t> xz;
    std::filesystem::path streamPath;
};

// Encodes each corpus once per process (the encoder's optimal parse is slow)
// and checks that both decoders give the data back before anything is timed.
const Prepared& prepared(int which) {
    static std::map<int, Prepared> cache;
    auto found = cache.find(which);
    if (found != cache.end()) return found->second;
    Prepared p;
    p.data = which == 0 ? corpus::textLike(kCorpusSize)
             : which == 1 ? corpus::binaryLike(kCorpusSize)
                          : corpus::randomBytes(kCorpusSize);
    p.stream = encodeStream(p.data);
    uLongf bound = compressBound(p.data.size());
    p.deflated.resize(bound);
    compress2(p.deflated.data(), &bound, p.data.data(), p.data.size(), 9);
    p.deflated.resize(bound);
    p.xz.resize(lzma_stream_buffer_bound(p.data.size()));
    size_t xzSize = 0;
    if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC32, nullptr, p.data.data(), p.data.size(), p.xz.data(), &xzSize,
                                p.xz.size()) != LZMA_OK)
        throw std::runtime_error("xz cannot encode the corpus");
    p.xz.resize(xzSize);
    p.streamPath = scratchFolder() / ("stream" + std::to_string(which));
    writeFile(p.streamPath, p.stream);

    auto outPath = scratchFolder() / "check";
    FILE* input = fopen(p.streamPath.c_str(), "rb");
    FILE* output = fopen(outPath.c_str(), "wb");
    int ok = expandStream(input, 0, (int32_t)p.stream.size(), (int32_t)p.data.size(), output, nullptr);
    fclose(input);
    fclose(output);
    std::vector<uint8_t> back(p.data.size() + 1);
    FILE* check = fopen(outPath.c_str(), "rb");
    back.resize(fread(back.data(), 1, back.size(), check));
    fclose(check);
    if (!ok || back != p.data) throw std::runtime_error("expandStream does not give the data back");
    return cache.emplace(which, std::move(p)).first->second;
}

void setCounters(benchmark::State& state, const Prepared& p, size_t compressed) {
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)p.data.size());
    state.counters["ratio"] = (double)compressed / (double)p.data.size();
}

void ExpandStream(benchmark::State& state) {
    const Prepared& p = prepared((int)state.range(0));
    FILE* input = fopen(p.streamPath.c_str(), "rb");
    FILE* output = fopen((scratchFolder() / "out").c_str(), "wb");
    for (auto _ : state) {
        rewind(output);
        if (!expandStream(input, 0, (int32_t)p.stream.size(), (int32_t)p.data.size(), output,
                          nullptr))
            state.SkipWithError("expandStream failed");
    }
    fclose(input);
    fclose(output);
    setCounters(state, p, p.stream.size());
}

void ZlibInflate(benchmark::State& state) {
    const Prepared& p = prepared((int)state.range(0));
    std::vector<uint8_t> out(p.data.size());
    for (auto _ : state) {
        uLongf size = out.size();
        if (uncompress(out.data(), &size, p.deflated.data(), p.deflated.size()) != Z_OK)
            state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, p, p.deflated.size());
}

void XzDecode(benchmark::State& state) {
    const Prepared& p = prepared((int)state.range(0));
    std::vector<uint8_t> out(p.data.size());
    for (auto _ : state) {
        uint64_t memoryLimit = UINT64_MAX;
        size_t in = 0, outSize = 0;
        if (lzma_stream_buffer_decode(&memoryLimit, 0, nullptr, p.xz.data(), &in, p.xz.size(), out.data(), &outSize,
                                      out.size()) != LZMA_OK)
            state.SkipWithError("xz decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, p, p.xz.size());
}

void Checksum(benchmark::State& state) {
    static const std::filesystem::path path = [] {
        auto file = scratchFolder() / "installer";
        writeFile(file, corpus::randomBytes(64 << 20, 7));
        return file;
    }();
    const uint32_t covered = (64u << 20) - 4;
    for (auto _ : state) benchmark::DoNotOptimize(computeFileChecksum(path.c_str(), covered, checksumSeed));
    state.SetBytesProcessed((int64_t)state.iterations() * covered);
}

// 0 text-like, 1 binary-like, 2 random.
BENCHMARK(ExpandStream)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibInflate)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(XzDecode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(Checksum)->Unit(benchmark::kMillisecond);

struct CleanUp {
    ~CleanUp() {
        std::error_code ignored;
        std::filesystem::remove_all(kScratch, ignored);
    }
} cleanUp;

}  // namespace
