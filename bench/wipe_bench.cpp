// How much the word stream and the wipe loop cost beside the disk they feed.
// Run: build/native/bench/brelquin_bench (prints each benchmark, then the ratios).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "wipe/pattern.h"
#include "wipe/wipe.h"

namespace {

// A file that takes every block and keeps nothing, so only the engine's own work is timed.
class DiscardingFiles final : public FileSystem {
 public:
  bool OpenExclusive(const wchar_t*, FileHandle*) override { return false; }
  bool GetSize(FileHandle, int64_t*) override { return false; }
  int32_t LastError() override { return 0; }
  bool Write(FileHandle, const uint8_t* data, uint32_t bytes, uint32_t* written) override {
    benchmark::DoNotOptimize(data[bytes - 1]);
    *written = bytes;
    return true;
  }
  void Rewind(FileHandle) override {}
  void Close(FileHandle) override {}
  bool Delete(const wchar_t*) override { return false; }
  bool Exists(const wchar_t*) override { return false; }
  void GetOwnPath(wchar_t*) override {}
  void CopyWithoutOverwrite(const wchar_t*, const wchar_t*) override {}
};

void BM_Memset(benchmark::State& state) {
  static uint8_t block[kBlockBytes];
  uint8_t value = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
    std::memset(block, value++, sizeof(block));
    benchmark::DoNotOptimize(block);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlockBytes);
}
BENCHMARK(BM_Memset);

void BM_FillBlock(benchmark::State& state) {
  static uint8_t block[kBlockBytes];
  PatternStream stream{41};
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
    FillBlock(stream, block);
    benchmark::DoNotOptimize(block);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlockBytes);
}
BENCHMARK(BM_FillBlock);

// One 64-block file wiped ten times: the time per block is the engine's overhead.
constexpr int64_t kWipeBlocks = 64;

void BM_WipeFilePerBlock(benchmark::State& state) {
  DiscardingFiles files;
  AbsentProgressWindow progress;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
    SeedSource seeds;
    benchmark::DoNotOptimize(WipeFile(files, nullptr, kWipeBlocks * kBlockBytes, progress, seeds));
  }
  const int64_t blocks = static_cast<int64_t>(state.iterations()) * kWipeBlocks * kPassCount;
  state.SetBytesProcessed(blocks * kBlockBytes);
  state.counters["blocks"] = benchmark::Counter(static_cast<double>(blocks));
}
BENCHMARK(BM_WipeFilePerBlock);

// Keeps each benchmark's CPU time per block, to print the ratios after the table.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const double blocks_per_iteration =
          run.benchmark_name() == "BM_WipeFilePerBlock" ? kWipeBlocks * kPassCount : 1.0;
      per_block_[run.benchmark_name()] =
          run.GetAdjustedCPUTime() / blocks_per_iteration;  // in the run's time unit
      units_[run.benchmark_name()] = run.time_unit;
    }
  }

  void PrintRatios() const {
    const double memset = Nanoseconds("BM_Memset");
    const double fill = Nanoseconds("BM_FillBlock");
    const double wipe = Nanoseconds("BM_WipeFilePerBlock");
    if (memset <= 0 || fill <= 0 || wipe <= 0) return;
    std::printf("FillBlock / memset of one 16 KiB block: %.1fx (%.0f ns vs %.0f ns)\n",
                fill / memset, fill, memset);
    std::printf("WipeFile CPU per block / FillBlock: %.2fx (%.0f ns per block)\n", wipe / fill,
                wipe);
  }

 private:
  double Nanoseconds(const std::string& name) const {
    const auto found = per_block_.find(name);
    if (found == per_block_.end()) return 0;
    return found->second / benchmark::GetTimeUnitMultiplier(units_.at(name)) * 1e9;
  }

  std::map<std::string, double> per_block_;
  std::map<std::string, benchmark::TimeUnit> units_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
