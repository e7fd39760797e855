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

struct iovec;

namespace korvell {

/// A sequential input of known size.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Reads up to n bytes into dst; returns the count, 0 at the end. On a read error returns
  /// 0 and error() tells why.
  virtual size_t read(uint8_t* dst, size_t n) = 0;
  virtual uint64_t size() const = 0;
  virtual uint64_t position() const = 0;
  /// The system's reason for the last failure, empty if none.
  virtual const std::string& error() const = 0;
};

/// A run of bytes in memory.
struct ByteRange {
  const uint8_t* data;
  size_t size;
};

/// An append-only output.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  /// Appends n bytes; false once any write has failed (later writes do nothing).
  virtual bool write(const uint8_t* data, size_t n) = 0;
  /// Appends the pieces in order, as that many writes would; the bytes need to stay valid
  /// only for the call.
  virtual bool writeMany(std::span<const ByteRange> pieces) {
    for (const ByteRange& piece : pieces) {
      if (!write(piece.data, piece.size)) return false;
    }
    return true;
  }
  /// Writes out what is buffered and closes; false if that or an earlier write failed.
  virtual bool close() = 0;
  /// The path shown in messages.
  virtual const std::string& path() const = 0;
  /// The system's reason for the first failure, empty if none.
  virtual const std::string& error() const = 0;
};

/// A read-only input file. Other programs may go on reading and writing it. Its size is
/// taken when it is opened; a file that ends before that size is a read error.
class FileSource final : public ByteSource {
 public:
  /// Opens path for reading; on failure returns null and sets *reason to the system's text.
  static std::unique_ptr<FileSource> open(const std::string& path, std::string* reason);
  ~FileSource() override;
  size_t read(uint8_t* dst, size_t n) override;
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const std::string& error() const override { return error_; }

 private:
  FileSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  std::FILE* file_;
  uint64_t size_;
  uint64_t position_ = 0;
  std::string error_;
};

/// An output file, created anew (an existing file is replaced), written through a buffer of
/// its own so that the walker's small pieces cost no system call each. Pieces that add up to
/// kDirect bytes or more, or do not fit the buffer, go to the file from where they are, in
/// one gathered write together with what the buffer holds.
class FileSink final : public ByteSink {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;
  static constexpr size_t kDirect = 64 * 1024;
  /// Creates path; on failure returns null and sets *reason to the system's text.
  static std::unique_ptr<FileSink> create(const std::string& path, std::string* reason);
  ~FileSink() override;
  bool write(const uint8_t* data, size_t n) override;
  bool writeMany(std::span<const ByteRange> pieces) override;
  bool close() override;
  const std::string& path() const override { return path_; }
  const std::string& error() const override { return error_; }

 private:
  FileSink(std::FILE* file, std::string path);
  bool flush();
  bool fail();
  /// Writes every byte of the vectors (which it may change), going on after short writes.
  bool writeAll(iovec* vectors, size_t count);
  std::FILE* file_;
  std::string path_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  std::vector<iovec> vectors_;
  std::string error_;
};

/// An input held in memory (tests, fuzzing, benchmarks). The bytes must outlive the source.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes)
      : MemorySource(bytes.data(), bytes.size()) {}
  size_t read(uint8_t* dst, size_t n) override;
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const std::string& error() const override { return error_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  std::string error_;
};

/// An output collected in memory (tests, fuzzing).
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::string path = "memory") : path_(std::move(path)) {}
  bool write(const uint8_t* data, size_t n) override;
  bool close() override { return true; }
  const std::string& path() const override { return path_; }
  const std::string& error() const override { return error_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::string path_;
  std::vector<uint8_t> bytes_;
  std::string error_;
};

/// The system's text for errno (for example "No such file or directory").
std::string systemReason(int errorNumber);

}  // namespace korvell
