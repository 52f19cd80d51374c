// Captures what a call writes to standard output, at the file-descriptor
// level: fd 1 is pointed at a temporary file for the duration of the call.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace idprom::test {

template <typename Fn>
std::string capture_stdout(Fn &&fn) {
  std::fflush(stdout);
  std::FILE *file = std::tmpfile();
  if (file == nullptr) return "<tmpfile failed>";
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(file), STDOUT_FILENO);
  fn();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);

  std::string text;
  std::rewind(file);
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return text;
}

}  // namespace idprom::test
