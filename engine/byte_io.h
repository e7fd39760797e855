// Byte sources and sinks: the walker reads a source and appends to sinks, never opening or
// closing a file itself. Files and memory both implement them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/status.h"

struct iovec;

namespace korvell {

/// A sequential input of known size.
class ByteSource {
 public:
  ByteSource() = default;
  // A source or sink may own a file: it is never copied.
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;
  virtual ~ByteSource() = default;
  /// Reads up to n bytes into dst and sets `got` to their count, 0 at the end. A failure
  /// (a read error, or a file that ends before its size) returns a ReadFailed status, the
  /// same that status() gives from then on, with `got` 0.
  virtual Status read(uint8_t* dst, size_t n, size_t& got) = 0;
  /// Moves the next read to byte `position` from the start. A position past size() is a
  /// ReadFailed status, and so is one before position() for a source that cannot go back: this
  /// default, which skips forward by reading.
  virtual Status seek(uint64_t position);
  virtual uint64_t size() const = 0;
  virtual uint64_t position() const = 0;
  /// The first failure, Ok while there was none.
  virtual const Status& status() const = 0;
};

/// A run of bytes in memory.
struct ByteRange {
  const uint8_t* data;
  size_t size;
};

/// An append-only output.
class ByteSink {
 public:
  ByteSink() = default;
  // A source or sink may own a file: it is never copied.
  ByteSink(const ByteSink&) = delete;
  ByteSink& operator=(const ByteSink&) = delete;
  virtual ~ByteSink() = default;
  /// Appends n bytes. Once a write has failed, every later one does nothing and returns
  /// that first failure (WriteFailed), as status() does.
  virtual Status write(const uint8_t* data, size_t n) = 0;
  /// Appends the pieces in order, as that many writes would; the bytes need to stay valid
  /// only for the call.
  virtual Status writeMany(std::span<const ByteRange> pieces) {
    for (const ByteRange& piece : pieces) {
      if (Status written = write(piece.data, piece.size); !written.ok()) return written;
    }
    return {};
  }
  /// Writes out what is buffered and closes; the first failure of that or of a write.
  virtual Status close() = 0;
  /// The path shown in messages.
  virtual const std::string& path() const = 0;
  /// The first failure, Ok while there was none.
  virtual const Status& status() const = 0;
};

/// An output that can be written at any position: for file forms whose header, written first,
/// holds sizes known only at the end (WAV, RF64, FLAC).
class SeekableSink {
 public:
  SeekableSink() = default;
  // A source or sink may own a file: it is never copied.
  SeekableSink(const SeekableSink&) = delete;
  SeekableSink& operator=(const SeekableSink&) = delete;
  virtual ~SeekableSink() = default;
  /// Writes n bytes at the position (over what is there, or past the end) and moves the
  /// position past them. Once a write or a seek has failed, every later one does nothing and
  /// returns that first failure (WriteFailed), as status() does.
  virtual Status write(const uint8_t* data, size_t n) = 0;
  /// Moves the position to `position` bytes from the start; a position past the end is
  /// allowed, and the bytes between stay zero once written past.
  virtual Status seek(uint64_t position) = 0;
  virtual uint64_t position() const = 0;
  /// The bytes the file holds: one past the furthest byte written.
  virtual uint64_t size() const = 0;
  /// Writes out what is buffered and closes; the first failure of that or of a write.
  virtual Status close() = 0;
  /// The path shown in messages.
  virtual const std::string& path() const = 0;
  /// The first failure, Ok while there was none.
  virtual const Status& status() const = 0;
};

/// A read-only input file. Other programs may go on reading and writing it. Its size is
/// taken when it is opened; a file that ends before that size is a read error.
class FileSource final : public ByteSource {
 public:
  /// Opens path for reading into *source; an OpenFailed status with the system's reason when
  /// it cannot (a folder cannot be opened either).
  static Status open(const std::string& path, std::unique_ptr<FileSource>* source);
  ~FileSource() override;
  Status read(uint8_t* dst, size_t n, size_t& got) override;
  Status seek(uint64_t position) override;
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  FileSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  std::FILE* file_;
  uint64_t size_;
  uint64_t position_ = 0;
  Status status_;
};

/// An output file, created anew (an existing file is replaced), written through a buffer of
/// its own so that the walker's small pieces cost no system call each. Pieces that add up to
/// kDirect bytes or more, or do not fit the buffer, go to the file from where they are, in
/// one gathered write together with what the buffer holds.
class FileSink final : public ByteSink {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;
  static constexpr size_t kDirect = 64 * 1024;
  /// Creates path anew into *sink; a CreateFailed status with the system's reason when it
  /// cannot (a folder cannot be created over either).
  static Status create(const std::string& path, std::unique_ptr<FileSink>* sink);
  ~FileSink() override;
  Status write(const uint8_t* data, size_t n) override;
  Status writeMany(std::span<const ByteRange> pieces) override;
  Status close() override;
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }

 private:
  FileSink(std::FILE* file, std::string path);
  Status flush();
  Status fail();
  /// Writes every byte of the vectors (which it may change), going on after short writes.
  Status writeAll(iovec* vectors, size_t count);
  std::FILE* file_;
  std::string path_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  std::vector<iovec> vectors_;
  Status status_;
};

/// An output file that can be written anywhere, created anew (an existing file is replaced),
/// through a buffer of its own: writes of kDirect bytes or more, or that do not fit the buffer,
/// go to the file from where they are, after what the buffer holds.
class SeekableFile final : public SeekableSink {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;
  static constexpr size_t kDirect = 64 * 1024;
  /// Creates path anew into *sink; a CreateFailed status with the system's reason when it
  /// cannot (a folder cannot be created over either).
  static Status create(const std::string& path, std::unique_ptr<SeekableFile>* sink);
  ~SeekableFile() override;
  Status write(const uint8_t* data, size_t n) override;
  Status seek(uint64_t position) override;
  uint64_t position() const override { return position_; }
  uint64_t size() const override { return size_; }
  Status close() override;
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }

 private:
  SeekableFile(std::FILE* file, std::string path);
  Status fail();
  Status flush();
  /// Writes every byte, going on after short writes.
  Status writeAll(const uint8_t* data, size_t n);
  std::FILE* file_;
  std::string path_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t position_ = 0;
  uint64_t size_ = 0;
  Status status_;
};

/// An input held in memory (tests, fuzzing, benchmarks). The bytes must outlive the source.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes)
      : MemorySource(bytes.data(), bytes.size()) {}
  Status read(uint8_t* dst, size_t n, size_t& got) override;
  Status seek(uint64_t position) override;
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  Status status_;
};

/// An output collected in memory (tests, fuzzing).
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::string path = "memory") : path_(std::move(path)) {}
  Status write(const uint8_t* data, size_t n) override;
  Status close() override { return status_; }
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::string path_;
  std::vector<uint8_t> bytes_;
  Status status_;
};

/// The system's text for errno (for example "No such file or directory").
std::string systemReason(int errorNumber);

/// The reason of a file that ends before the size it had when it was opened.
std::string shrunkReason(uint64_t position, uint64_t size);

/// The reason of a seek past the end of a source of `size` bytes.
std::string seekPastEndReason(uint64_t position, uint64_t size);

}  // namespace korvell
