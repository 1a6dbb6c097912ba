// Function benchmarks of the container check and repair on camsim recordings.
// Usage: bench_repair --recording=FILE... [benchmark flags]
//   (make FILE with: camsim mp4 FILE --seconds 60 --ending power-cut)
#include "containerrepair.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The walk over the media data alone, from memory.
void scanInMemory(benchmark::State &state, const std::string &path)
{
    const auto data = readFile(path);
    for (auto _ : state) {
        auto scan = storage::scanMediaData(storage::MemorySource(data));
        benchmark::DoNotOptimize(scan);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

// The whole repair of a file without index, flushes included; the copy is not timed.
void repairFile(benchmark::State &state, const std::string &path)
{
    const auto work = std::filesystem::temp_directory_path() / "merido-bench-20231015_142530_1CH_N_F.mp4";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(path, work, std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        if (!storage::repairRecording(work, storage::kSideFront, 3))
            state.SkipWithError("not repaired");
    }
    std::filesystem::remove(work);
}

// The check of a file that has its index: two small reads.
void intactCheck(benchmark::State &state, const std::string &path)
{
    const auto work = std::filesystem::temp_directory_path() / "merido-bench-intact.mp4";
    std::filesystem::copy_file(path, work, std::filesystem::copy_options::overwrite_existing);
    storage::repairRecording(work, storage::kSideFront, 3);
    for (auto _ : state)
        if (storage::repairRecordingOutcome(work, storage::kSideFront, 3) != storage::RepairOutcome::Intact)
            state.SkipWithError("not intact");
    std::filesystem::remove(work);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--recording=", 12) != 0) {
            rest.push_back(argv[i]);
            continue;
        }
        const std::string path = argv[i] + 12;
        const std::string name = std::filesystem::path(path).filename().string();
        benchmark::RegisterBenchmark(("scan/" + name).c_str(), scanInMemory, path)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("repair/" + name).c_str(), repairFile, path)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("intact/" + name).c_str(), intactCheck, path)->Unit(benchmark::kMicrosecond);
    }
    int n = int(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
