// Replays corpus files through a harness without libFuzzer, so that any
// compiler (g++ included) builds the harnesses and the seed corpora and
// regression inputs run as ordinary tests.
//
//   fuzz_<family> FILE_OR_DIRECTORY...
//
// Every regular file named, or found directly inside a named directory, is
// one input.  A failed property aborts, as it does under libFuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

std::vector<uint8_t> read_file(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> inputs_of(const std::filesystem::path &arg) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(arg)) {
    for (const auto &e : std::filesystem::directory_iterator(arg))
      if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(arg);
  }
  return files;
}

}  // namespace

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto &file : inputs_of(argv[i])) {
      const std::vector<uint8_t> bytes = read_file(file);
      // An exact heap copy, as libFuzzer passes it: reads past the end show.
      const std::vector<uint8_t> input(bytes.begin(), bytes.end());
      LLVMFuzzerTestOneInput(input.data(), input.size());
      ++count;
    }
  }
  std::fprintf(stderr, "%s: replayed %zu inputs\n", argv[0], count);
  return count == 0 ? 1 : 0;
}
