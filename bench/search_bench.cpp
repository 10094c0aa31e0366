// Times the fast search against the literal pass on a fixed, seeded set of
// 1,000 colours, then reports the per-colour speed-up: its median over the
// set and its value for the colour the fast search takes longest on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "pruning.h"

using namespace tintwise;

namespace {

struct Colour {
  std::int32_t r, g, b;
};

// The raw output of std::mt19937 is the same everywhere (its distributions
// are not), so the set is the same on every machine.
const std::vector<Colour>& colours() {
  static const std::vector<Colour> set = [] {
    std::vector<Colour> out;
    std::mt19937 rng(20261206);
    for (int i = 0; i < 1000; ++i) {
      const auto v = static_cast<std::uint32_t>(rng());
      out.push_back({static_cast<std::int32_t>(v >> 16 & 255), static_cast<std::int32_t>(v >> 8 & 255),
                     static_cast<std::int32_t>(v & 255)});
    }
    return out;
  }();
  return set;
}

HsbMatch search_once(Search search, const Colour& c) { return run_search(search, c.r, c.g, c.b).match; }

// Each iteration searches `count` colours of the set, table building included.
void run(benchmark::State& state, Search search, std::size_t count) {
  std::size_t i = 0;
  for (auto _ : state) {
    for (std::size_t n = 0; n < count; ++n) {
      benchmark::DoNotOptimize(search_once(search, colours()[i]));
      i = (i + 1) % colours().size();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void BM_Fast(benchmark::State& state) { run(state, search_pruned, colours().size()); }
void BM_Reference(benchmark::State& state) { run(state, search_exhaustive, 1); }
BENCHMARK(BM_Fast)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

double seconds_per_search(Search search, const Colour& c, int repeat) {
  double best = 1e9;
  for (int batch = 0; batch < 3; ++batch) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i) benchmark::DoNotOptimize(search_once(search, c));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / repeat);
  }
  return best;
}

void report_speedups() {
  struct Row {
    double fast, reference;
    Colour c;
  };
  std::vector<Row> rows;
  for (const Colour& c : colours()) {
    rows.push_back({seconds_per_search(search_pruned, c, 50), 0, c});
  }
  for (Row& row : rows) row.reference = seconds_per_search(search_exhaustive, row.c, 1);
  std::vector<double> ratios;
  for (const Row& row : rows) ratios.push_back(row.reference / row.fast);
  std::sort(ratios.begin(), ratios.end());
  const Row slowest = *std::max_element(rows.begin(), rows.end(),
                                        [](const Row& a, const Row& b) { return a.fast < b.fast; });
  std::printf("\nPer colour over %zu colours (fastest of 3 timed batches each):\n", rows.size());
  std::printf("  median speed-up           %10.0f x\n", ratios[ratios.size() / 2]);
  std::printf("  smallest speed-up         %10.0f x\n", ratios.front());
  std::printf("  slowest colour %3d %3d %3d: %8.1f us fast, %8.1f ms reference, %.0f x\n",
              static_cast<int>(slowest.c.r), static_cast<int>(slowest.c.g), static_cast<int>(slowest.c.b),
              slowest.fast * 1e6, slowest.reference * 1e3, slowest.reference / slowest.fast);
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  report_speedups();
  return 0;
}
