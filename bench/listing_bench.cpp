// Field listing into a buffer: the 256-byte sample board image, and a large
// image holding every one-byte type code four times.  items/s counts fields
// listed, bytes/s the text produced.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "idprom.h"
#include "images.hpp"

namespace {

void list(benchmark::State &state, const idprom::bench::Bytes &image) {
  std::vector<char> text(1 << 20);
  const auto length = static_cast<uint32_t>(image.size());
  const auto size = static_cast<uint32_t>(text.size());
  idprom_print_all_fields_to_buf(image.data(), length, text.data(), size);
  const auto chars = static_cast<int64_t>(std::strlen(text.data()));
  int64_t fields = 0;
  for (const char *p = text.data(); (p = std::strchr(p, '\n')) != nullptr; ++p) ++fields;
  for (auto _ : state) {
    idprom_print_all_fields_to_buf(image.data(), length, text.data(), size);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * fields);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * chars);
  state.counters["fields"] = static_cast<double>(fields);
}

void BM_ListSample(benchmark::State &state) {
  list(state, idprom::bench::read_file(IDPROM_SAMPLE_IMAGE));
}

void BM_ListEveryType(benchmark::State &state) {
  list(state, idprom::bench::every_type_image(4));
}

BENCHMARK(BM_ListSample);
BENCHMARK(BM_ListEveryType);

}  // namespace
