// Publishing a batch of files into a folder all or nothing, so that a
// signal, a crash or a power loss never leaves half a batch that looks
// complete, and two runs never write one folder at once.
//
//   DIR                           locked (flock on the folder itself) for
//                                 the whole run; a second run is refused
//   DIR/.idprom-program-XXXXXX/   every file written, flushed and read
//                                 back; files it replaces moved here as
//                                 NAME.old while the batch goes in
//   DIR/.idprom-program.journal   the staging folder's name and the files,
//                                 written before the first file goes in
//   DIR/NAME ...                  linked into place one by one; the last
//                                 file (the manifest) is the commit point
//
// A run that finds a journal finishes what it names (the last file is in
// place: only the clean-up was left) or undoes it (the last file is not:
// every file put in place is removed and every replaced one put back),
// and sweeps staging folders that no journal names.  SIGINT, SIGTERM and
// SIGHUP are caught: before the commit point the run undoes what it did
// and exits 128 + the signal; after it the run finishes and succeeds.
#pragma once

#include <string>
#include <vector>

#include "io/fileio.hpp"

namespace idprom::tool {

struct BatchFile {
  std::string name;  // a plain file name inside the folder
  Bytes bytes;
};

// Catches SIGINT, SIGTERM and SIGHUP for the life of the object: a signal
// is recorded, and `pending()` (0 or the signal) reports it; the previous
// handlers come back on destruction.
class SignalGuard {
 public:
  SignalGuard();
  ~SignalGuard();
  SignalGuard(const SignalGuard &) = delete;
  SignalGuard &operator=(const SignalGuard &) = delete;
  static int pending() noexcept;
};

// What a run found of an earlier, interrupted one ("" when nothing).
struct PublishResult {
  std::string recovered;
};

// Writes `files` into `dir` (created when missing), the last of them the
// commit point.  An existing file is replaced only with `force`.  Throws
// Failure: kLocked when another run holds the folder, kUsage for an
// existing file without `force`, kIo for a failed write; in every case
// the folder is as it was.  When a signal is pending before the commit
// point, undoes everything and throws Failure with exit status 128 + the
// signal.
PublishResult publish_batch(Io &io, const std::string &dir, const std::vector<BatchFile> &files,
                            bool force);

}  // namespace idprom::tool
