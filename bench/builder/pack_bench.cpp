// Packs generated products (text-like, program-like, incompressible, and a
// mix of many small files) into installers and reports, per product: the
// input bytes, the installer's bytes, the ratio, the rate of input and the
// process's peak resident memory so far. HALV_BENCH_LARGE_MB=N adds a mixed
// product of N megabytes, to show that memory stays bounded.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "corpus.h"
#include "halvbuild/pack.h"

namespace fs = std::filesystem;

namespace {

enum Kind { kText, kBinary, kRandom, kMixed };

const char* const kKindNames[] = {"text", "binary", "random", "mixed"};

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

std::vector<uint8_t> content(Kind kind, size_t size, uint64_t seed) {
    switch (kind == kMixed ? (Kind)(seed % 3) : kind) {
        case kText: return corpus::textLike(size, seed);
        case kBinary: return corpus::binaryLike(size, seed);
        default: return corpus::randomBytes(size, seed);
    }
}

// A product folder of totalBytes in files of fileBytes, spread over a few
// nested folders, with its manifest. Returns the manifest's path.
std::string makeProduct(const fs::path& root, Kind kind, size_t totalBytes, size_t fileBytes) {
    const size_t files = (totalBytes + fileBytes - 1) / fileBytes;
    for (size_t i = 0; i < files; ++i) {
        const fs::path folder = root / "product" / ("d" + std::to_string(i % 7)) / ("e" + std::to_string(i % 3));
        writeFile(folder / ("f" + std::to_string(i) + ".dat"), content(kind, fileBytes, i + 1));
    }
    writeFile(root / "tools/installer.exe", corpus::binaryLike(40000, 99));
    writeFile(root / "tools/HalvUninstaller.exe", corpus::binaryLike(30000, 98));
    const std::string manifest = "title = \"Bench\"\npublisher = \"Bench\"\nproduct = \"Bench\"\nversion = \"1\"\n"
                                 "[[files]]\nsource = \"product\"\n";
    writeFile(root / "product.toml", std::vector<uint8_t>(manifest.begin(), manifest.end()));
    return (root / "product.toml").string();
}

void packProduct(benchmark::State& state, Kind kind, size_t totalBytes, size_t fileBytes) {
    std::random_device random;
    const fs::path root = fs::temp_directory_path() / ("halvbuild-bench-" + std::to_string(random()));
    const std::string manifestPath = makeProduct(root, kind, totalBytes, fileBytes);
    const Manifest manifest = loadManifest(manifestPath);
    PackOptions options;
    options.outputPath = (root / "setup.exe").string();
    options.installerProgram = (root / "tools/installer.exe").string();
    options.uninstallerProgram = (root / "tools/HalvUninstaller.exe").string();
    PackResult result;
    for (auto _ : state) result = packInstaller(manifest, options);
    fs::remove_all(root);
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.SetBytesProcessed((int64_t)(state.iterations() * result.productBytes));
    state.counters["input_MB"] = result.productBytes / 1e6;
    state.counters["output_MB"] = result.outputBytes / 1e6;
    state.counters["ratio_%"] = 100.0 * result.outputBytes / (double)result.productBytes;
    state.counters["files"] = result.fileCount;
    state.counters["peak_RSS_MB"] = usage.ru_maxrss / 1e3;
}

void registerProduct(Kind kind, size_t megabytes, size_t fileBytes) {
    const std::string name = std::string("Pack/") + kKindNames[kind] + "/" + std::to_string(megabytes) + "MB/" +
                             std::to_string(fileBytes >> 10) + "KiBfiles";
    benchmark::RegisterBenchmark(name.c_str(), packProduct, kind, megabytes << 20, fileBytes)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
}

}  // namespace

int main(int argc, char** argv) {
    registerProduct(kText, 16, 256 << 10);
    registerProduct(kBinary, 16, 256 << 10);
    registerProduct(kRandom, 16, 256 << 10);
    registerProduct(kMixed, 16, 4 << 10);
    if (const char* large = getenv("HALV_BENCH_LARGE_MB")) registerProduct(kMixed, (size_t)atoi(large), 2 << 20);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
