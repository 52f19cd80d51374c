// Captures what the process writes to standard output (file descriptor 1)
// between construction and text(): the descriptor is pointed at a
// temporary file with dup2 and restored afterwards.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace idprom::test {

class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    file_ = std::tmpfile();
    saved_ = dup(STDOUT_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
  }
  StdoutCapture(const StdoutCapture &) = delete;
  StdoutCapture &operator=(const StdoutCapture &) = delete;
  ~StdoutCapture() {
    restore();
    if (file_ != nullptr) std::fclose(file_);
  }

  // Restores standard output and returns everything written meanwhile.
  std::string text() {
    restore();
    std::string out;
    std::rewind(file_);
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0) out.append(chunk, n);
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    saved_ = -1;
  }

  std::FILE *file_ = nullptr;
  int saved_ = -1;
};

}  // namespace idprom::test
