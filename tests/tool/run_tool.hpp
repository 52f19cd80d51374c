// Runs the idprom binary and collects its exit status and output; a
// scratch folder per test for the files it reads and writes.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace idprom::test {

struct Outcome {
  int status = -1;
  std::string out, err;
};

inline std::string slurp(const std::string &path) {
  const Bytes b = read_file(path);
  return std::string(b.begin(), b.end());
}

inline void write_file(const std::string &path, const Bytes &bytes) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
inline void write_file(const std::string &path, const std::string &text) {
  write_file(path, Bytes(text.begin(), text.end()));
}

// A fresh folder, removed with everything in it when the test ends.
class Scratch {
 public:
  Scratch() {
    std::string templ = (std::filesystem::temp_directory_path() / "idprom-tool-XXXXXX").string();
    dir_ = ::mkdtemp(templ.data()) != nullptr ? templ : std::string();
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto &e : std::filesystem::directory_iterator(dir_))
      out.push_back(e.path().filename());
    return out;
  }

 private:
  std::string dir_;
};

// Runs `idprom args...`, with `input` (a file path) as standard input.
inline Outcome run_tool(const std::vector<std::string> &args,
                        const std::string &input = "/dev/null") {
  Scratch out;
  const std::string out_path = out.path("stdout"), err_path = out.path("stderr");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(input.c_str(), O_RDONLY);
    const int o = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char *> argv;
    std::string tool = IDPROM_TOOL;
    argv.push_back(tool.data());
    std::vector<std::string> copies(args);
    for (std::string &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  Outcome r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  r.out = slurp(out_path);
  r.err = slurp(err_path);
  return r;
}

// One run of the tool and everything it should give back.
struct Case {
  std::vector<std::string> args;
  int status;
  std::string out, err;
};

inline void expect_cases(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    const Outcome r = run_tool(c.args);
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
  }
}

}  // namespace idprom::test
