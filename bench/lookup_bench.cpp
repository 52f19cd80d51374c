// Walking and lookup: idprom_get_field_data of the last entry in lists of
// 16, 128 and 1024 entries.  items_per_second counts entries walked, so
// its inverse is the cost of one step of the walk.
//
// A walk is serial: where an entry starts depends on the bytes of the one
// before.  Its limit is one dependent load per entry, measured here as a
// chase through pointers that each lead to the next (BM_LoadChain), so that
// the walk's cost can also be read in load latencies, which a busy machine
// stretches as much as the walk.
#include <benchmark/benchmark.h>

#include <vector>

#include "idprom.h"
#include "images.hpp"

namespace {

void BM_LookupLast(benchmark::State &state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  const auto image = idprom::bench::chain_image(n, 0xC4);
  const auto length = static_cast<uint32_t>(image.size());
  char out[64];
  for (auto _ : state) {
    benchmark::DoNotOptimize(idprom_get_field_data(image.data(), length, 0xC4, out, sizeof out, false));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  state.counters["ns_per_entry"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_LookupLast)->Arg(16)->Arg(128)->Arg(1024);

// The same walk over entries of pseudo-random shapes, a different order in
// each of 64 images taken in turn: the branch on each entry's class is then
// mispredicted about as often as in an image walked for the first time.
void BM_LookupLastShuffled(benchmark::State &state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  std::vector<idprom::bench::Bytes> images;
  for (uint64_t seed = 1; seed <= 64; ++seed) images.push_back(idprom::bench::chain_image(n, 0xC4, seed));
  char out[64];
  size_t i = 0;
  for (auto _ : state) {
    const auto &image = images[i++ % images.size()];
    benchmark::DoNotOptimize(idprom_get_field_data(image.data(), static_cast<uint32_t>(image.size()),
                                                   0xC4, out, sizeof out, false));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_LookupLastShuffled)->Arg(1024);

void BM_LoadChain(benchmark::State &state) {
  const auto n = static_cast<size_t>(state.range(0));
  // A ring of n pointers, each to the next one 5 slots on (n is not a
  // multiple of 5), all in the first-level cache like the walked image.
  std::vector<const void *> ring(n);
  for (size_t i = 0; i < n; ++i) ring[i] = &ring[(i + 5) % n];
  for (auto _ : state) {
    const void *p = ring.data();
    for (size_t i = 0; i < n; ++i) p = *static_cast<const void *const *>(p);
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}
BENCHMARK(BM_LoadChain)->Arg(1024);

}  // namespace
