// A disc image (.iso) read in place: a read-only FileSystem in which the image is a folder at
// its own path, so /x/movie.iso/VIDEO_TS/VTS_01_1.VOB is a file inside it and every reader that
// takes a FileSystem and a path reads images as it reads folders. libudfread reads the image's
// directories and where each file lies (nothing else includes it); the files' bytes are then
// read straight from the image, without a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace korvell {

/// Whether path names a disc image by its extension: ".iso" in any case.
bool isDiscImage(const std::string& path);

class UdfImage final : public FileSystem {
 public:
  /// Most folders nested in one another, and most files and folders in all, that an image may
  /// hold; more means a directory that loops.
  static constexpr int kMaxDepth = 64;
  static constexpr size_t kMaxEntries = 100000;

  /// Opens the UDF image at imagePath, read through `outside`, and reads its whole directory
  /// tree and where every file lies. `outside` must outlive the image; it serves every path
  /// that does not lie in the image. Before anything is read from the image its structure is
  /// checked, and any fault fails the open with one line that names the image and the file or
  /// folder concerned: an image that is not UDF (OpenFailed when it cannot be opened at all);
  /// a file whose bytes lie past the image's end (a truncated image) or nowhere in it; a
  /// folder that points outside the image, cannot be read, or is a folder above it again (a
  /// loop); a name that is not valid UTF-8 or holds a "/"; more than kMaxDepth levels or
  /// kMaxEntries entries. libudfread's own messages on standard error are held back while it
  /// reads, so the open's reason is the one message.
  static Status open(FileSystem& outside, const std::string& imagePath,
                     std::unique_ptr<UdfImage>* image);

  ~UdfImage() override;

  /// The image's path as it was opened, made lexically normal ("./a//b.iso" gives "a/b.iso").
  const std::string& imagePath() const { return imagePath_; }
  /// Whether path lies in the image (its own path included), once made lexically normal.
  bool holds(const std::string& path) const { return find(path) != -1; }

  /// A file inside the image is read from the image's bytes through `outside` (a source of its
  /// own per call, which must not outlive the image). The image itself and the folders in it
  /// cannot be opened.
  Status openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) override;
  /// Inside the image, the image itself included, nothing can be created or removed: a
  /// CreateFailed status (false for remove) that says the image is read-only.
  Status create(const std::string& path, std::unique_ptr<ByteSink>* sink) override;
  Status createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) override;
  Status createFolder(const std::string& path) override;
  Status remove(const std::string& path) override;
  /// The image's own path is a folder, not a file. Names inside the image compare exactly.
  bool isFile(const std::string& path) const override;
  bool isFolder(const std::string& path) const override;
  Status listFolder(const std::string& path, std::vector<std::string>* names) const override;
  /// Two paths inside the image are the same file when they are the same once made lexically
  /// normal; a path inside and one outside never are.
  bool sameFile(const std::string& a, const std::string& b) const override;

  struct Entry;

 private:
  UdfImage(FileSystem& outside, std::string imagePath);
  /// The entry a path names: -1 for a path outside the image, -2 for a path inside it that
  /// names nothing.
  int find(const std::string& path) const;

  FileSystem& outside_;
  std::string imagePath_;
  std::vector<Entry> entries_;  // [0] is the root folder
};

}  // namespace korvell
