// edit: an image's JSON description in the user's text editor, written back
// as the fewest field edits through an edit session.  What an edited text
// means, and when the editor is opened again, is the core's
// (model/description_edit.hpp); this file runs the editor.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/description_edit.hpp"
#include "model/fields.hpp"

extern char **environ;

namespace idprom::tool {
namespace {

// $VISUAL, else $EDITOR, else vi.  It may carry arguments: it is a shell
// command, given the file as its last argument.
std::string editor_command() {
  for (const char *name : {"VISUAL", "EDITOR"}) {
    const char *value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "vi";
}

// A private file (mode 0600) in $TMPDIR for the text, removed afterwards
// unless kept for the user.
class TextFile {
 public:
  TextFile() {
    const char *dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/idprom-edit-XXXXXX.json";
    const int fd = ::mkstemps(path_.data(), 5);
    if (fd < 0)
      throw Failure::about(path_, kExitIo, std::string("cannot create: ") + std::strerror(errno));
    ::close(fd);
  }
  ~TextFile() {
    if (!kept_) ::unlink(path_.c_str());
  }
  TextFile(const TextFile &) = delete;
  TextFile &operator=(const TextFile &) = delete;

  // The editor may have replaced the file by another of the same name.
  void write(const std::string &text) {
    const int fd =
        ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < text.size();) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      ok = n > 0 || (n < 0 && errno == EINTR);
      done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    const int err = errno;
    if (fd >= 0) ::close(fd);
    if (!ok)
      throw Failure::about(path_, kExitIo, std::string("cannot write: ") + std::strerror(err));
  }
  std::string read() const { return read_text_file(path_); }
  const std::string &path() const noexcept { return path_; }
  void keep() noexcept { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

// Runs `sh -c 'COMMAND "$1"' sh FILE` and waits for it.  The editor has the
// terminal: while it runs, the keyboard's interrupt and quit are its own,
// as with system().
void run_editor(const std::string &command, const std::string &file) {
  std::string sh = "sh", c = "-c", script = command + " \"$1\"", zero = "sh", arg = file;
  char *argv[] = {sh.data(), c.data(), script.data(), zero.data(), arg.data(), nullptr};
  pid_t pid = 0;
  if (const int err = ::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ))
    throw Failure(kExitIo, "cannot run the editor (" + command + "): " + std::strerror(err));
  struct sigaction ignore {
  }, old_int{}, old_quit{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGINT, &ignore, &old_int);
  ::sigaction(SIGQUIT, &ignore, &old_quit);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ::sigaction(SIGINT, &old_int, nullptr);
  ::sigaction(SIGQUIT, &old_quit, nullptr);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  throw Failure(
      kExitIo, "the editor (" + command + ") " +
                   (WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                                      : "was ended by signal " + std::to_string(WTERMSIG(status))) +
                   "; nothing was written");
}

struct EditorOptions {
  std::string image;
  WriteFlags write;
  ImageFlags image_flags;
};

// Writes the edit back only when the stored image is still the one the
// editor showed; on any failure the edited text is kept for the user.
void commit(const EditorOptions &o, const Bytes &shown, const DescriptionEdit &edit,
            TextFile &file) {
  try {
    EditSession session(system_io(), o.image, o.write.options(o.image_flags),
                        SessionTerms{shown, {}});
    write_back(session, edit.image, edit.dirty, o.write);
  } catch (const Failure &f) {
    file.keep();
    throw f.reworded(std::string(f.what()) + "; the edited description is kept in " + file.path());
  }
}

int run_edit(const EditorOptions &o) {
  if (o.image == "-")
    throw Failure(kExitUsage, "edit needs an image file or device, not standard input");
  const Loaded image = load_image(o.image, o.image_flags);
  refuse_malformed(o.image, image.bytes);
  TextFile file;
  const std::string command = editor_command();
  const auto edit =
      edit_description(image.bytes, o.image, o.write.force, [&](const std::string &text) {
        file.write(text);
        run_editor(command, file.path());
        return file.read();
      });
  if (!edit) {
    std::cout << "no change; nothing was written\n";
    return kExitOk;
  }
  // What was done (a dry run: what would be), then the dry run's bytes.
  if (!o.write.dry_run) commit(o, image.bytes, *edit, file);
  for (const std::string &step : edit->steps) std::cout << step << '\n';
  if (edit->rebuilt)
    std::cout << "rebuilt from the description (entries moved or the tail changed, which set, "
                 "delete and new cannot do)\n";
  if (o.write.dry_run) {
    commit(o, image.bytes, *edit, file);
    return kExitOk;
  }
  std::cout << "changed: offset " << hex(edit->dirty.offset, 4) << ", "
            << count_of(edit->dirty.length, "byte", "bytes") << '\n';
  return kExitOk;
}

void declare_edit(CLI::App &e, EditorOptions &edit) {
  e.add_option("IMAGE", edit.image, "Image file or device")->required();
  add_write_flags(e, edit.write);
  add_image_flags(e, edit.image_flags);
}

}  // namespace

extern const Command kEdit = command<EditorOptions, declare_edit, run_edit>(
    "edit", "Edit an image's JSON description in $VISUAL or $EDITOR; write back what changed",
    "IMAGE");

}  // namespace idprom::tool
