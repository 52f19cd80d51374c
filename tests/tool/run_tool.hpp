// Runs the idprom binary and collects its exit status and output; a
// scratch folder per test for the files it reads and writes.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace idprom::test {

using Args = std::vector<std::string>;
inline Args operator+(Args a, const Args &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

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

// The names in a folder, sorted.
inline std::vector<std::string> names_in(const std::string &dir) {
  std::vector<std::string> out;
  for (const auto &e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
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
  std::vector<std::string> files() const { return names_in(dir_); }
  // A copy of the sample image here, named `name`; its path.
  std::string sample(const std::string &name) const {
    write_file(path(name), sample_image());
    return path(name);
  }

 private:
  std::string dir_;
};

// Starts `idprom args...` with standard input, output and error on these files.
inline pid_t start_tool(Args args, const std::string &in, const std::string &out,
                        const std::string &err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(in.c_str(), O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    args.insert(args.begin(), IDPROM_TOOL);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// Runs `idprom args...`, with `input` (a file path) as standard input.
inline Outcome run_tool(const Args &args, const std::string &input = "/dev/null") {
  Scratch out;
  int raw = 0;
  ::waitpid(start_tool(args, input, out.path("stdout"), out.path("stderr")), &raw, 0);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), slurp(out.path("stdout")),
          slurp(out.path("stderr"))};
}

// One run of the tool and everything it should give back.
struct Case {
  Args args;
  int status;
  std::string out, err;
};

// Runs each case; given `kept`, the file there must be as it was after each.
inline void expect_cases(const std::vector<Case> &cases, const std::string &kept = "") {
  const Bytes before = kept.empty() ? Bytes{} : read_file(kept);
  for (const Case &c : cases) {
    const Outcome r = run_tool(c.args);
    const std::string what = testing::PrintToString(c.args);
    EXPECT_EQ(r.status, c.status) << what;
    EXPECT_EQ(r.out, c.out) << what;
    EXPECT_EQ(r.err, c.err) << what;
    EXPECT_TRUE(kept.empty() || read_file(kept) == before) << what << " changed " << kept;
  }
}

}  // namespace idprom::test
