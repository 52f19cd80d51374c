// MAC address text: macstring_r and macbuf_r beside glibc's ether_ntoa_r
// and ether_aton_r, over 64 different addresses.  items/s counts
// conversions.
#include <benchmark/benchmark.h>
#include <netinet/ether.h>

#include <array>
#include <cstring>

#include "idprom.h"
#include "images.hpp"

namespace {

constexpr size_t kAddresses = 64;

std::array<ether_addr, kAddresses> addresses() {
  const auto bytes = idprom::bench::random_bytes(6 * kAddresses);
  std::array<ether_addr, kAddresses> out;
  for (size_t i = 0; i < kAddresses; ++i) std::memcpy(out[i].ether_addr_octet, &bytes[6 * i], 6);
  return out;
}

// Each address as text in the form the reader under test takes.
template <typename Format>
std::array<std::array<char, 20>, kAddresses> texts(Format format) {
  const auto macs = addresses();
  std::array<std::array<char, 20>, kAddresses> out{};
  for (size_t i = 0; i < kAddresses; ++i) format(macs[i], out[i].data());
  return out;
}

template <typename F>
void convert(benchmark::State &state, F f) {
  size_t i = 0;
  for (auto _ : state) {
    f(i);
    i = (i + 1) % kAddresses;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_Macstring(benchmark::State &state) {
  const auto macs = addresses();
  char text[20];
  convert(state, [&](size_t i) {
    benchmark::DoNotOptimize(macstring_r(macs[i].ether_addr_octet, 6, text, 15));
  });
}

void BM_EtherNtoa(benchmark::State &state) {
  const auto macs = addresses();
  char text[20];
  convert(state, [&](size_t i) { benchmark::DoNotOptimize(ether_ntoa_r(&macs[i], text)); });
}

void BM_Macbuf(benchmark::State &state) {
  const auto in = texts([](const ether_addr &a, char *out) { macstring_r(a.ether_addr_octet, 6, out, 15); });
  uint8_t mac[6];
  convert(state, [&](size_t i) {
    macbuf_r(in[i].data(), mac);
    benchmark::DoNotOptimize(mac);
  });
}

void BM_EtherAton(benchmark::State &state) {
  const auto in = texts([](const ether_addr &a, char *out) { ether_ntoa_r(&a, out); });
  ether_addr mac;
  convert(state, [&](size_t i) { benchmark::DoNotOptimize(ether_aton_r(in[i].data(), &mac)); });
}

BENCHMARK(BM_Macstring);
BENCHMARK(BM_EtherNtoa);
BENCHMARK(BM_Macbuf);
BENCHMARK(BM_EtherAton);

}  // namespace
