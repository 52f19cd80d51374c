// Checksums over 256 and 64000 bytes: crc_16_buf beside the table-driven
// CRC-16/XMODEM of Boost.CRC, calculate_crc beside its plain word-by-word
// form, and a plain read of the same bytes (memchr for a byte that is
// absent) as the bandwidth limit.  Every benchmark reports bytes/s.
#include <benchmark/benchmark.h>

#include <boost/crc.hpp>
#include <cstring>

#include "idprom.h"
#include "images.hpp"
#include "reference.hpp"

namespace {

// Runs f over n pseudo-random bytes that never hold 0xFF (the byte the
// plain read looks for).
template <typename F>
void over_bytes(benchmark::State &state, F f) {
  auto data = idprom::bench::random_bytes(static_cast<size_t>(state.range(0)));
  for (auto &b : data) b = b == 0xFF ? 0xFE : b;
  const auto n = static_cast<uint32_t>(data.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(f(data.data(), n));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Memchr(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) { return std::memchr(p, 0xFF, n); });
}

void BM_Crc16Buf(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) { return crc_16_buf(p, static_cast<int32_t>(n)); });
}

// crc_16 byte by byte: the five-step update crc_16_buf started from.
void BM_Crc16Bytes(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) {
    return idprom::reference::crc_16_buf(p, static_cast<int32_t>(n));
  });
}

void BM_BoostCrc16(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) {
    boost::crc_optimal<16, 0x1021, 0, 0, false, false> crc;
    crc.process_bytes(p, n);
    return crc.checksum();
  });
}

void BM_CalculateCrc(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) { return calculate_crc(p, n); });
}

// The checksum one word after another, as the sequential definition reads.
void BM_CalculateCrcWords(benchmark::State &state) {
  over_bytes(state, [](const uint8_t *p, uint32_t n) { return idprom::reference::calculate_crc(p, n); });
}

BENCHMARK(BM_Memchr)->Arg(256)->Arg(64000);
BENCHMARK(BM_Crc16Buf)->Arg(256)->Arg(64000);
BENCHMARK(BM_Crc16Bytes)->Arg(256)->Arg(64000);
BENCHMARK(BM_BoostCrc16)->Arg(256)->Arg(64000);
BENCHMARK(BM_CalculateCrc)->Arg(256)->Arg(64000);
BENCHMARK(BM_CalculateCrcWords)->Arg(256)->Arg(64000);

}  // namespace
