// Whole processes, started with posix_spawn and waited for, output to
// /dev/null: one `idprom get` beside /bin/true, and `idprom dump --ascii`
// of 64000 bytes beside `hexdump -C` and `xxd` of the same file.  Each is
// timed by the processor time the child used, user and system (loading,
// page faults, start-up, the work and exit), from wait4: on a shared
// machine the wall time mostly measures the wait for a free core.  items/s
// counts processes.  Registered only where the tool was built with the
// benchmarks (IDPROM_TOOL).
#ifdef IDPROM_TOOL
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "images.hpp"

extern char **environ;

namespace {

// A 64000-byte image, written once, removed at exit: four entries of type
// 0xFD holding 15996 random bytes each (so that no tool squeezes repeated
// rows), then the end marker and filler.
idprom::bench::Bytes dump_image() {
  idprom::bench::Bytes image;
  const auto random = idprom::bench::random_bytes(15996);
  for (int i = 0; i < 4; ++i) idprom::bench::append_entry(image, 0xFD, 0, random);
  image.resize(64000, 0xFF);
  return image;
}

const char *dump_input() {
  static const std::string path = [] {
    std::string p = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/idprom-bench-XXXXXX");
    const int fd = ::mkstemp(p.data());
    const auto bytes = dump_image();
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::close(fd);
    std::atexit([] { ::unlink(path.c_str()); });
    return p;
  }();
  return path.c_str();
}

void run(benchmark::State &state, std::vector<const char *> argv) {
  argv.push_back(nullptr);
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid;
    int status = 0;
    rusage used{};
    if (posix_spawn(&pid, argv[0], &io, nullptr, const_cast<char **>(argv.data()), environ) != 0 ||
        wait4(pid, &status, 0, &used) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError((std::string(argv[0]) + " failed").c_str());
      break;
    }
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    state.SetIterationTime(seconds(used.ru_utime) + seconds(used.ru_stime));
  }
  posix_spawn_file_actions_destroy(&io);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_True(benchmark::State &state) { run(state, {"/bin/true"}); }
void BM_ToolGet(benchmark::State &state) { run(state, {IDPROM_TOOL, "get", IDPROM_SAMPLE_IMAGE, "pcb-serial"}); }
void BM_ToolDump(benchmark::State &state) { run(state, {IDPROM_TOOL, "dump", "--ascii", dump_input()}); }
void BM_Hexdump(benchmark::State &state) { run(state, {"/usr/bin/hexdump", "-C", dump_input()}); }
void BM_Xxd(benchmark::State &state) { run(state, {"/usr/bin/xxd", dump_input()}); }

BENCHMARK(BM_True)->UseManualTime();
BENCHMARK(BM_ToolGet)->UseManualTime();
BENCHMARK(BM_ToolDump)->UseManualTime();
BENCHMARK(BM_Hexdump)->UseManualTime();
BENCHMARK(BM_Xxd)->UseManualTime();

}  // namespace
#endif
