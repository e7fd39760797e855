// Files in memory that fail where a disk would, for the runs' failure tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace korvell::testing {

/// A FileSystem whose files are byte vectors. Faults are set per path: an open or a create
/// that is refused, the n-th read of a file that fails or after which the file is shorter,
/// and a limit of bytes after which writes fail as on a full disk. Paths are compared as
/// they are written.
class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  void add(const std::string& path, std::vector<uint8_t> bytes);
  /// The bytes of a file, added or written by a run; null when there is none.
  const std::vector<uint8_t>* file(const std::string& path) const;

  /// Opening `path` for reading fails with `reason`.
  void refuseOpen(const std::string& path, const std::string& reason);
  /// Creating a file whose path starts with `prefix` (a file, or a folder ending in "/")
  /// fails with `reason`.
  void refuseCreate(const std::string& prefix, const std::string& reason);
  /// Read call number `call` (from 1) of `path` fails with `reason`.
  void failRead(const std::string& path, int call, const std::string& reason);
  /// After read call number `call` of `path` the file holds only its first `size` bytes.
  void shrinkAfterRead(const std::string& path, int call, uint64_t size);
  /// Files whose path starts with `prefix` hold `bytes` bytes between them; a write past
  /// that fails with "No space left on device", as on a full disk.
  void limitSpace(const std::string& prefix, uint64_t bytes);

  /// Removing `path` fails with `reason`.
  void refuseRemove(const std::string& path, const std::string& reason);
  /// Seekable files whose path starts with `prefix` hold only their first `bytes` bytes; their
  /// size counts every byte written (a file of gigabytes without the memory).
  void keepHead(const std::string& prefix, uint64_t bytes);

  /// Sources and sinks handed out and not yet destroyed.
  int openFiles() const;

  Status openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) override;
  Status create(const std::string& path, std::unique_ptr<ByteSink>* sink) override;
  Status createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) override;
  bool isFile(const std::string& path) const override;
  /// Whether a folder was created at path and not removed, or a file lies in it.
  bool isFolder(const std::string& path) const override;
  /// The names of the files and folders that lie directly in path.
  Status listFolder(const std::string& path, std::vector<std::string>* names) const override;
  bool sameFile(const std::string& a, const std::string& b) const override;
  /// Folders are names only: files can be created in a folder that was never created. A
  /// folder is refused where refuseCreate refuses its path.
  Status createFolder(const std::string& path) override;
  /// Removes a file, or a folder that no file or folder path starts with (followed by "/").
  Status remove(const std::string& path) override;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace korvell::testing
