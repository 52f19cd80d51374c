// All-or-nothing publishing of a batch (see publish.hpp for the layout).
#include "io/publish.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/errors.hpp"

namespace idprom::tool {
namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void record_signal(int signal) { g_signal = signal; }

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kCaught)];

constexpr const char *kJournal = ".idprom-program.journal";
constexpr const char *kStagingPrefix = ".idprom-program-";

// A fault hook for the tests: IDPROM_FAULT_PROGRAM=PHASE:SIGNAL sends the
// process SIGNAL when the run reaches PHASE (staging, installing,
// publishing, published), as a user's Ctrl-C or a kill -9 would.
void reach(const char *phase) {
  const char *fault = std::getenv("IDPROM_FAULT_PROGRAM");
  if (fault == nullptr) return;
  const char *colon = std::strchr(fault, ':');
  if (colon == nullptr || std::strncmp(fault, phase, static_cast<size_t>(colon - fault)) != 0 ||
      std::strlen(phase) != static_cast<size_t>(colon - fault))
    return;
  std::raise(std::atoi(colon + 1));
}

bool same_file(const std::string &a, const std::string &b) {
  struct stat sa {}, sb {};
  return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool exists(const std::string &path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

void sync_folder(Io &io, const std::string &dir) {
  const int fd = io.open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd >= 0) {
    io.fsync(fd);
    io.close(fd);
  }
}

// One batch on its way in: the staging folder and the names, the last
// the commit point.  Everything it does to the folder it can undo from
// the folder's own state, so that a later run can undo it too.
struct Staged {
  std::string dir, staging;
  std::vector<std::string> names;

  std::string in_dir(const std::string &name) const { return dir + "/" + name; }
  std::string in_staging(const std::string &name) const { return staging + "/" + name; }
  bool committed() const { return same_file(in_dir(names.back()), in_staging(names.back())); }

  // Removes every file of the batch put in place and puts back every file
  // it replaced.
  void undo(Io &io) const {
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
      if (same_file(in_dir(*it), in_staging(*it))) io.unlink(in_dir(*it).c_str());
      const std::string aside = in_staging(*it + ".old");
      if (exists(aside) && !exists(in_dir(*it))) io.rename(aside.c_str(), in_dir(*it).c_str());
    }
    sync_folder(io, dir);
  }

  void clean(Io &io) const {
    std::error_code ignored;
    std::filesystem::remove_all(staging, ignored);
    io.unlink((dir + "/" + kJournal).c_str());
    sync_folder(io, dir);
  }

  void install(Io &io, const std::string &name) const {
    const std::string target = in_dir(name), aside = in_staging(name + ".old");
    if (exists(target) && io.rename(target.c_str(), aside.c_str()) != 0)
      fail(io, "moving aside " + target, errno);
    if (io.link(in_staging(name).c_str(), target.c_str()) != 0)
      fail(io, "putting " + target + " in place", errno);
  }

  [[noreturn]] void fail(Io &io, const std::string &doing, int err) const {
    undo(io);
    clean(io);
    throw Failure(Kind::kIo, doing + ": " + std::strerror(err) + "; nothing was written", err);
  }
};

std::string journal_text(const Staged &s) {
  const nlohmann::json journal = {
      {"staging", std::filesystem::path(s.staging).filename().string()}, {"files", s.names}};
  return journal.dump() + "\n";
}

// Finishes or undoes the run a journal names; sweeps staging folders of
// runs killed before they wrote one (nothing of theirs is in place).
std::string recover(Io &io, const std::string &dir) {
  std::string said;
  const std::string journal = dir + "/" + kJournal;
  if (exists(journal)) {
    Staged s{dir, "", {}};
    try {
      std::ifstream in(journal);
      const auto j = nlohmann::json::parse(in);
      s.staging = dir + "/" + j.at("staging").get<std::string>();
      s.names = j.at("files").get<std::vector<std::string>>();
    } catch (const std::exception &e) {
      throw Failure(Kind::kIo, journal + ": an interrupted run's journal cannot be read (" +
                                   e.what() + "); remove it after checking the folder by hand");
    }
    if (!s.names.empty() && s.committed()) {
      said = dir + ": finished an interrupted run: all its " + count_of(s.names.size(), "file", "files") +
             " were in place\n";
    } else {
      s.undo(io);
      said = dir + ": undid an interrupted run: the folder is as it was before it\n";
    }
    s.clean(io);
  }
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(kStagingPrefix) && entry.is_directory(ec)) {
      std::filesystem::remove_all(entry.path(), ec);
      said += dir + ": removed " + name + ", left by a run stopped while staging\n";
    }
  }
  return said;
}

void check_targets(const std::string &dir, const std::vector<BatchFile> &files, bool force) {
  for (const BatchFile &f : files) {
    struct stat st {};
    const std::string path = dir + "/" + f.name;
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (!force)
      throw Failure(kExitUsage, path + ": exists; use --force to replace it; nothing was written");
    if (!S_ISREG(st.st_mode))
      throw Failure(kExitUsage, path + ": exists and is not a regular file; nothing was written");
  }
}

// Before the commit point: a caught signal undoes the batch and ends the
// run with 128 + the signal.
void stop_if_signalled(Io &io, const Staged &s) {
  if (const int signal = SignalGuard::pending()) {
    s.undo(io);
    s.clean(io);
    throw Failure(128 + signal, s.dir + ": stopped by signal " + std::to_string(signal) +
                                    "; nothing was written");
  }
}

// The folder, created when missing, locked for the run.
class FolderLock {
 public:
  FolderLock(Io &io, const std::string &dir) : io_(io), dir_(dir) {
    struct stat st {};
    created_ = ::stat(dir.c_str(), &st) != 0;
    if (created_ && ::mkdir(dir.c_str(), 0777) != 0)
      throw Failure(Kind::kIo, dir + ": cannot create the folder: " + std::strerror(errno), errno);
    if (!created_ && !S_ISDIR(st.st_mode)) throw Failure(kExitUsage, dir + ": not a folder");
    fd_ = io.open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd_ < 0 || io.flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      release();
      if (err == EWOULDBLOCK)
        throw Failure(Kind::kLocked,
                      dir + ": another program run is writing this folder; nothing was written");
      throw Failure(Kind::kIo, dir + ": cannot lock the folder: " + std::strerror(err), err);
    }
  }
  ~FolderLock() { release(); }
  FolderLock(const FolderLock &) = delete;
  FolderLock &operator=(const FolderLock &) = delete;
  void keep() noexcept { kept_ = true; }

 private:
  // A folder this run created goes again unless the batch went in.
  void release() noexcept {
    if (fd_ >= 0) io_.close(fd_);
    fd_ = -1;
    if (created_ && !kept_) ::rmdir(dir_.c_str());
  }

  Io &io_;
  std::string dir_;
  int fd_ = -1;
  bool created_ = false;
  bool kept_ = false;
};

}  // namespace

SignalGuard::SignalGuard() {
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kCaught); ++i) ::sigaction(kCaught[i], &action, &g_previous[i]);
}

SignalGuard::~SignalGuard() {
  for (size_t i = 0; i < std::size(kCaught); ++i) ::sigaction(kCaught[i], &g_previous[i], nullptr);
}

int SignalGuard::pending() noexcept { return g_signal; }

PublishResult publish_batch(Io &io, const std::string &dir, const std::vector<BatchFile> &files,
                            bool force) {
  const SignalGuard signals;
  FolderLock lock(io, dir);
  PublishResult result{recover(io, dir)};
  check_targets(dir, files, force);
  std::string staging = dir + "/" + kStagingPrefix + "XXXXXX";
  if (::mkdtemp(staging.data()) == nullptr)
    throw Failure(Kind::kIo, "creating a staging folder in " + dir + ": " + std::strerror(errno) +
                                 "; nothing was written", errno);
  Staged s{dir, staging, {}};
  for (const BatchFile &f : files) s.names.push_back(f.name);
  for (const BatchFile &f : files) {
    stop_if_signalled(io, s);
    try {
      write_atomically(io, s.in_staging(f.name), f.bytes, 0644, false);
    } catch (const Failure &e) {
      s.clean(io);
      throw e.reworded(std::string(e.what()) + "; nothing was written");
    }
    reach("staging");
  }
  stop_if_signalled(io, s);
  const std::string journal = journal_text(s);
  try {
    write_atomically(io, dir + "/" + kJournal, Bytes(journal.begin(), journal.end()), 0600, false);
  } catch (const Failure &e) {
    s.clean(io);
    throw e.reworded(std::string(e.what()) + "; nothing was written");
  }
  for (size_t i = 0; i + 1 < s.names.size(); ++i) {
    stop_if_signalled(io, s);
    s.install(io, s.names[i]);
    reach("installing");
  }
  reach("publishing");
  stop_if_signalled(io, s);
  s.install(io, s.names.back());  // the commit point
  lock.keep();
  reach("published");
  s.clean(io);
  return result;
}

}  // namespace idprom::tool
