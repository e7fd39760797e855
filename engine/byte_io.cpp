#include "engine/byte_io.h"

#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace korvell {

std::string systemReason(int errorNumber) {
  return std::strerror(errorNumber);
}

std::unique_ptr<FileSource> FileSource::open(const std::string& path, std::string* reason) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *reason = systemReason(EISDIR);
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *reason = systemReason(errno);
    return nullptr;
  }
  // Reads are whole blocks straight into the caller's buffer; stdio's own buffer would only
  // add a copy.
  std::setvbuf(file, nullptr, _IONBF, 0);
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    *reason = ec.message();
    std::fclose(file);
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(file, size));
}

FileSource::~FileSource() {
  std::fclose(file_);
}

size_t FileSource::read(uint8_t* dst, size_t n) {
  const size_t got = std::fread(dst, 1, n, file_);
  if (got < n && std::ferror(file_)) {
    error_ = systemReason(errno);
    return 0;
  }
  if (got == 0 && n > 0 && position_ < size_) {
    // The file was cut while it was being read: what is missing would silently be missing
    // from every output too.
    error_ = "The file became shorter while it was read: it ended at byte " +
             std::to_string(position_) + " of " + std::to_string(size_) + ".";
    return 0;
  }
  position_ += got;
  return got;
}

FileSink::FileSink(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)), buffer_(kBufferSize) {}

std::unique_ptr<FileSink> FileSink::create(const std::string& path, std::string* reason) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *reason = systemReason(EISDIR);
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *reason = systemReason(errno);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::unique_ptr<FileSink>(new FileSink(file, path));
}

FileSink::~FileSink() {
  close();
}

bool FileSink::fail() {
  if (error_.empty()) error_ = systemReason(errno != 0 ? errno : EIO);
  return false;
}

bool FileSink::writeAll(iovec* vectors, size_t count) {
  const int fd = fileno(file_);
  size_t first = 0;
  while (first < count) {
    if (vectors[first].iov_len == 0) {
      ++first;
      continue;
    }
    errno = 0;
    const ssize_t written =
        ::writev(fd, vectors + first, static_cast<int>(std::min<size_t>(count - first, IOV_MAX)));
    if (written < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    if (written == 0) return fail();
    // Step over what was written; a vector written in part goes on from its remainder.
    auto left = static_cast<size_t>(written);
    while (first < count && left >= vectors[first].iov_len) {
      left -= vectors[first].iov_len;
      ++first;
    }
    if (left > 0) {
      vectors[first].iov_base = static_cast<uint8_t*>(vectors[first].iov_base) + left;
      vectors[first].iov_len -= left;
    }
  }
  return true;
}

bool FileSink::flush() {
  if (!error_.empty()) return false;
  if (used_ > 0) {
    iovec whole{buffer_.data(), used_};
    if (!writeAll(&whole, 1)) return false;
    used_ = 0;
  }
  return true;
}

bool FileSink::write(const uint8_t* data, size_t n) {
  if (!error_.empty() || file_ == nullptr) return false;
  if (n < kDirect && used_ + n <= buffer_.size()) {
    if (n > 0) std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
    return true;
  }
  const ByteRange piece{data, n};
  return writeMany({&piece, 1});
}

bool FileSink::writeMany(std::span<const ByteRange> pieces) {
  if (!error_.empty() || file_ == nullptr) return false;
  size_t total = 0;
  for (const ByteRange& piece : pieces)
    total += piece.size;
  if (total < kDirect && used_ + total <= buffer_.size()) {
    // Small pieces are gathered in the buffer.
    for (const ByteRange& piece : pieces) {
      if (piece.size == 0) continue;  // an empty piece may have no address at all
      std::memcpy(buffer_.data() + used_, piece.data, piece.size);
      used_ += piece.size;
    }
    return true;
  }
  // The buffer's bytes, then the pieces from where they are, in one gathered write.
  vectors_.clear();
  if (used_ > 0) vectors_.push_back({buffer_.data(), used_});
  for (const ByteRange& piece : pieces) {
    vectors_.push_back({const_cast<uint8_t*>(piece.data), piece.size});
  }
  used_ = 0;
  return writeAll(vectors_.data(), vectors_.size());
}

bool FileSink::close() {
  if (file_ == nullptr) return error_.empty();
  flush();
  vectors_ = {};
  errno = 0;
  if (std::fclose(file_) != 0) fail();
  file_ = nullptr;
  return error_.empty();
}

size_t MemorySource::read(uint8_t* dst, size_t n) {
  const size_t got = std::min(n, size_ - position_);
  if (got > 0) std::memcpy(dst, data_ + position_, got);
  position_ += got;
  return got;
}

bool MemorySink::write(const uint8_t* data, size_t n) {
  bytes_.insert(bytes_.end(), data, data + n);
  return true;
}

}  // namespace korvell
