#pragma once
// How far a long save or open has got, and a way for the user to stop it.

#include <cstdint>
#include <stdexcept>

namespace vexal {

class FileProgress {
 public:
  virtual ~FileProgress() = default;
  // `done` of `total` units so far (bytes read, or rows written). May be called from a
  // worker thread. Returns false when the job is to stop.
  virtual bool advance(std::uint64_t done, std::uint64_t total) = 0;
};

// A job stopped at the user's request; nothing was changed.
class EFileCancelled : public std::runtime_error {
 public:
  EFileCancelled() : std::runtime_error("cancelled") {}
};

// Tells `progress` (when there is one) and throws EFileCancelled when asked to stop.
inline void reportProgress(FileProgress *progress, std::uint64_t done, std::uint64_t total) {
  if (progress && !progress->advance(done, total)) throw EFileCancelled();
}

// How many rows a writer writes between two reports.
inline constexpr std::size_t kRowsPerProgressReport = 4096;

}  // namespace vexal
