// Replays corpus files through a harness without libFuzzer, so that any
// compiler builds the harnesses and CTest runs the seeds and findings:
//   fuzz_<family> FILE_OR_DIRECTORY...
// Every file named, or directly inside a named directory, is one input; a
// failed property aborts, as under libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::set<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::filesystem::is_directory(argv[i])) files.insert(argv[i]);
    else
      for (const auto &e : std::filesystem::directory_iterator(argv[i]))
        if (e.is_regular_file()) files.insert(e.path());
  }
  for (const auto &file : files) {
    std::ifstream in(file, std::ios::binary);
    // An exact heap copy, as libFuzzer passes it: reads past the end show.
    const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::fprintf(stderr, "%s: replayed %zu inputs\n", argv[0], files.size());
  return files.empty() ? 1 : 0;
}
