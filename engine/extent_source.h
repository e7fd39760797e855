// One input made of byte ranges of several files, read in order: a disc title whose cells lie
// in several VOB files (or in several parts of one) is walked as if it were one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_io.h"
#include "engine/file_extent.h"
#include "engine/file_system.h"
#include "engine/status.h"

namespace korvell {

/// Reads the extents one after another, each exactly from its offset for its length, opening
/// each file through a FileSystem when the reading reaches it and closing it when the reading
/// moves to another file (a file that comes back later is opened again). size() is the sum of
/// the lengths and position() counts over all extents; reads fill the whole request across
/// extent boundaries and come up short only at the end.
///
/// A file that cannot be opened gives an OpenFailed status; a file that ends before its
/// extent (at opening, or because it shrank while read) or fails while read gives a
/// ReadFailed status. Either comes from the read (or seek) that meets it and from status()
/// after it; failedPath() names the file. Bytes read before a failure in the same call are
/// handed out first, the failure comes with the next call.
class ExtentSource final : public ByteSource {
 public:
  /// Makes a source over `extents` in *source after opening each of their files once to see
  /// that it holds its extents: the first that cannot be opened gives its OpenFailed status,
  /// the first that ends before one of its extents a ReadFailed status, with its path in
  /// *failedPath. `files` must outlive the source.
  static Status open(FileSystem& files, std::vector<FileExtent> extents,
                     std::unique_ptr<ExtentSource>* source, std::string* failedPath);

  Status read(uint8_t* dst, size_t n, size_t& got) override;
  /// Moves to a position over all extents; the file under it is opened or sought at the next
  /// read.
  Status seek(uint64_t position) override;
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

  /// The file whose open or read failed; while nothing failed, the file being read (empty
  /// before the first read).
  const std::string& failedPath() const { return path_; }
  const std::vector<FileExtent>& extents() const { return extents_; }

 private:
  ExtentSource(FileSystem& files, std::vector<FileExtent> extents);
  /// Makes sure the file of extent `index_` is open and positioned at its next byte.
  Status prepare();
  Status fail(Status status);

  FileSystem& files_;
  std::vector<FileExtent> extents_;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  size_t index_ = 0;       ///< the extent being read
  uint64_t inExtent_ = 0;  ///< bytes of that extent already read
  std::unique_ptr<ByteSource> file_;
  std::string path_;         ///< the file of file_, or the one that failed
  bool positioned_ = false;  ///< file_ stands at the next byte of the extent
  Status status_;
};

}  // namespace korvell
