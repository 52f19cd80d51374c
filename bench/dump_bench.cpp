// The enhanced dump of 64000 bytes into a buffer large enough for the whole
// text, beside the same dump formatted piece by piece with snprintf through
// the output sink.  bytes/s counts input bytes.
#include <benchmark/benchmark.h>

#include <vector>

#include "idprom.h"
#include "images.hpp"
#include "reference.hpp"

namespace {

constexpr uint32_t kDumpBytes = 64000;
// A newline, 4096 rows of at most 76 characters, and the zero byte.
constexpr uint32_t kTextSize = 1 + 4096 * 76 + 1;

template <typename F>
void dump(benchmark::State &state, F f) {
  const auto data = idprom::bench::random_bytes(kDumpBytes);
  std::vector<char> text(kTextSize);
  for (auto _ : state) {
    f(data.data(), kDumpBytes, text.data(), kTextSize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDumpBytes);
}

void BM_EnhancedDumpToBuf(benchmark::State &state) { dump(state, idprom_enhanced_dump_to_buf); }

void BM_EnhancedDumpPieces(benchmark::State &state) {
  dump(state, idprom::reference::enhanced_dump_to_buf);
}

BENCHMARK(BM_EnhancedDumpToBuf);
BENCHMARK(BM_EnhancedDumpPieces);

}  // namespace
