#include "engine/byte_io.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace korvell {

namespace {
constexpr uint64_t kSkipBlock = 64 * 1024;  // the scratch buffer of a forward skip
}  // namespace

std::string systemReason(int errorNumber) {
  return std::strerror(errorNumber);
}

std::string shrunkReason(uint64_t position, uint64_t size) {
  return "The file became shorter while it was read: it ended at byte " + std::to_string(position) +
         " of " + std::to_string(size) + ".";
}

std::string seekPastEndReason(uint64_t position, uint64_t size) {
  return "Cannot go to byte " + std::to_string(position) + ": the file has " +
         std::to_string(size) + " bytes.";
}

Status ByteSource::seek(uint64_t position) {
  if (!status().ok()) return status();
  if (position < this->position() || position > size()) {
    return Status::failure(Status::Code::ReadFailed, position > size()
                                                         ? seekPastEndReason(position, size())
                                                         : "This input cannot go back.");
  }
  std::vector<uint8_t> scratch(std::min<uint64_t>(position - this->position(), kSkipBlock));
  while (this->position() < position) {
    size_t got = 0;
    const auto want =
        static_cast<size_t>(std::min<uint64_t>(position - this->position(), scratch.size()));
    if (Status read = this->read(scratch.data(), want, got); !read.ok()) return read;
    if (got == 0)
      return Status::failure(Status::Code::ReadFailed, shrunkReason(this->position(), size()));
  }
  return {};
}

Status FileSource::open(const std::string& path, std::unique_ptr<FileSource>* source) {
  const auto failed = [](std::string reason) {
    return Status::failure(Status::Code::OpenFailed, std::move(reason));
  };
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return failed(systemReason(EISDIR));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return failed(systemReason(errno));
  // Reads are whole blocks straight into the caller's buffer; stdio's own buffer would only
  // add a copy.
  std::setvbuf(file, nullptr, _IONBF, 0);
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fclose(file);
    return failed(ec.message());
  }
  source->reset(new FileSource(file, size));
  return {};
}

FileSource::~FileSource() {
  std::fclose(file_);
}

Status FileSource::read(uint8_t* dst, size_t n, size_t& got) {
  got = 0;
  if (!status_.ok()) return status_;
  const size_t read = std::fread(dst, 1, n, file_);
  if (read < n && std::ferror(file_)) {
    status_ = Status::failure(Status::Code::ReadFailed, systemReason(errno));
    return status_;
  }
  if (read == 0 && n > 0 && position_ < size_) {
    // The file was cut while it was being read: what is missing would silently be missing
    // from every output too.
    status_ = Status::failure(Status::Code::ReadFailed, shrunkReason(position_, size_));
    return status_;
  }
  position_ += read;
  got = read;
  return {};
}

Status FileSource::seek(uint64_t position) {
  if (!status_.ok()) return status_;
  if (position > size_) {
    status_ = Status::failure(Status::Code::ReadFailed, seekPastEndReason(position, size_));
    return status_;
  }
  if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) {
    status_ = Status::failure(Status::Code::ReadFailed, systemReason(errno));
    return status_;
  }
  position_ = position;
  return {};
}

FileSink::FileSink(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)), buffer_(kBufferSize) {}

namespace {

// Creates path anew for writing, unbuffered (the sinks buffer themselves); a folder cannot be
// created over.
Status createFile(const std::string& path, std::FILE** file) {
  const auto failed = [](std::string reason) {
    return Status::failure(Status::Code::CreateFailed, std::move(reason));
  };
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return failed(systemReason(EISDIR));
  *file = std::fopen(path.c_str(), "wb");
  if (*file == nullptr) return failed(systemReason(errno));
  std::setvbuf(*file, nullptr, _IONBF, 0);
  return {};
}

// The first write failure of a sink, kept: errno's reason, or EIO without one.
Status keepWriteFailure(Status& status) {
  if (status.ok()) {
    status = Status::failure(Status::Code::WriteFailed, systemReason(errno != 0 ? errno : EIO));
  }
  return status;
}

}  // namespace

Status FileSink::create(const std::string& path, std::unique_ptr<FileSink>* sink) {
  std::FILE* file = nullptr;
  if (Status created = createFile(path, &file); !created.ok()) return created;
  sink->reset(new FileSink(file, path));
  return {};
}

FileSink::~FileSink() {
  close();
}

Status FileSink::fail() {
  return keepWriteFailure(status_);
}

Status FileSink::writeAll(iovec* vectors, size_t count) {
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
  return {};
}

Status FileSink::flush() {
  if (!status_.ok()) return status_;
  if (used_ > 0) {
    iovec whole{buffer_.data(), used_};
    if (Status written = writeAll(&whole, 1); !written.ok()) return written;
    used_ = 0;
  }
  return {};
}

Status FileSink::write(const uint8_t* data, size_t n) {
  if (!status_.ok() || file_ == nullptr) return status_;
  if (n < kDirect && used_ + n <= buffer_.size()) {
    if (n > 0) std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
    return {};
  }
  const ByteRange piece{data, n};
  return writeMany({&piece, 1});
}

Status FileSink::writeMany(std::span<const ByteRange> pieces) {
  if (!status_.ok() || file_ == nullptr) return status_;
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
    return {};
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

Status FileSink::close() {
  if (file_ == nullptr) return status_;
  flush();
  vectors_ = {};
  errno = 0;
  if (std::fclose(file_) != 0) fail();
  file_ = nullptr;
  return status_;
}

SeekableFile::SeekableFile(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)), buffer_(kBufferSize) {}

Status SeekableFile::create(const std::string& path, std::unique_ptr<SeekableFile>* sink) {
  std::FILE* file = nullptr;
  if (Status created = createFile(path, &file); !created.ok()) return created;
  sink->reset(new SeekableFile(file, path));
  return {};
}

SeekableFile::~SeekableFile() {
  close();
}

Status SeekableFile::fail() {
  return keepWriteFailure(status_);
}

Status SeekableFile::writeAll(const uint8_t* data, size_t n) {
  const int fd = fileno(file_);
  while (n > 0) {
    errno = 0;
    const ssize_t written = ::write(fd, data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return fail();
    data += written;
    n -= static_cast<size_t>(written);
  }
  return {};
}

Status SeekableFile::flush() {
  if (used_ == 0) return status_;
  const size_t n = used_;
  used_ = 0;
  return writeAll(buffer_.data(), n);
}

Status SeekableFile::write(const uint8_t* data, size_t n) {
  if (!status_.ok() || file_ == nullptr) return status_;
  if (n < kDirect && used_ + n <= buffer_.size()) {
    if (n > 0) std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
  } else if (!flush().ok() || !writeAll(data, n).ok()) {
    return status_;
  }
  position_ += n;
  size_ = std::max(size_, position_);
  return {};
}

Status SeekableFile::seek(uint64_t position) {
  if (!status_.ok() || file_ == nullptr) return status_;
  if (position == position_) return {};
  if (!flush().ok()) return status_;
  if (position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    errno = EINVAL;
    return fail();
  }
  errno = 0;
  if (::lseek(fileno(file_), static_cast<off_t>(position), SEEK_SET) < 0) return fail();
  position_ = position;
  return {};
}

Status SeekableFile::close() {
  if (file_ == nullptr) return status_;
  flush();
  buffer_ = {};
  errno = 0;
  if (std::fclose(file_) != 0) fail();
  file_ = nullptr;
  return status_;
}

Status MemorySource::read(uint8_t* dst, size_t n, size_t& got) {
  got = std::min(n, size_ - position_);
  if (got > 0) std::memcpy(dst, data_ + position_, got);
  position_ += got;
  return {};
}

Status MemorySource::seek(uint64_t position) {
  if (!status_.ok()) return status_;
  if (position > size_) {
    status_ = Status::failure(Status::Code::ReadFailed, seekPastEndReason(position, size_));
    return status_;
  }
  position_ = static_cast<size_t>(position);
  return {};
}

Status MemorySink::write(const uint8_t* data, size_t n) {
  bytes_.insert(bytes_.end(), data, data + n);
  return {};
}

}  // namespace korvell
