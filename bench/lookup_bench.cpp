// Walking and lookup: idprom_get_field_data of the last entry in lists of
// 16, 128 and 1024 entries.  items_per_second counts entries walked, so
// its inverse is the cost of one step of the walk.
#include <benchmark/benchmark.h>

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

}  // namespace
