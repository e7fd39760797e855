#include "testing/memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace korvell::testing {

struct MemoryFileSystem::State {
  struct ReadFault {
    int call = 0;
    std::string reason;  // empty: the file shrinks instead
    uint64_t shrinkTo = 0;
  };
  std::map<std::string, std::shared_ptr<std::vector<uint8_t>>> files;
  std::map<std::string, std::string> refusedOpens;
  std::map<std::string, std::string> refusedCreates;  // by prefix
  std::map<std::string, std::vector<ReadFault>> readFaults;
  std::map<std::string, uint64_t> space;  // bytes left, by prefix
  std::set<std::string> folders;
  std::map<std::string, std::string> refusedRemoves;
  std::map<std::string, uint64_t> heads;  // bytes kept of a seekable file, by prefix
  int open = 0;

  uint64_t* spaceFor(const std::string& path) {
    for (auto& [prefix, left] : space) {
      if (path.starts_with(prefix)) return &left;
    }
    return nullptr;
  }
  uint64_t headFor(const std::string& path) const {
    for (const auto& [prefix, kept] : heads) {
      if (path.starts_with(prefix)) return kept;
    }
    return UINT64_MAX;
  }
};

namespace {

using State = MemoryFileSystem::State;

class Source final : public ByteSource {
 public:
  Source(std::shared_ptr<State> state, std::string path,
         std::shared_ptr<std::vector<uint8_t>> bytes)
      : state_(std::move(state)),
        path_(std::move(path)),
        bytes_(std::move(bytes)),
        size_(bytes_->size()) {
    ++state_->open;
  }
  ~Source() override { --state_->open; }

  Status read(uint8_t* dst, size_t n, size_t& got) override {
    got = 0;
    if (!status_.ok()) return status_;
    ++calls_;
    for (const State::ReadFault& fault : state_->readFaults[path_]) {
      if (fault.call != calls_ || fault.reason.empty()) continue;
      status_ = Status::failure(Status::Code::ReadFailed, fault.reason);
      return status_;
    }
    const uint64_t held = bytes_->size();
    if (n > 0 && position_ < size_ && position_ >= held) {
      status_ = Status::failure(Status::Code::ReadFailed, shrunkReason(position_, size_));
      return status_;
    }
    const uint64_t end = std::min(held, size_);
    got = position_ < end ? static_cast<size_t>(std::min<uint64_t>(n, end - position_)) : 0;
    std::copy_n(bytes_->data() + position_, got, dst);
    position_ += got;
    for (const State::ReadFault& fault : state_->readFaults[path_]) {
      if (fault.call == calls_ && fault.reason.empty()) bytes_->resize(fault.shrinkTo);
    }
    return {};
  }
  Status seek(uint64_t position) override {
    if (!status_.ok()) return status_;
    if (position > size_) {
      status_ = Status::failure(Status::Code::ReadFailed, seekPastEndReason(position, size_));
      return status_;
    }
    position_ = position;
    return {};
  }
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  std::shared_ptr<State> state_;
  std::string path_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  uint64_t size_;
  uint64_t position_ = 0;
  int calls_ = 0;
  Status status_;
};

class Sink final : public ByteSink {
 public:
  Sink(std::shared_ptr<State> state, std::string path, std::shared_ptr<std::vector<uint8_t>> bytes)
      : state_(std::move(state)), path_(std::move(path)), bytes_(std::move(bytes)) {
    ++state_->open;
  }
  ~Sink() override { --state_->open; }

  Status write(const uint8_t* data, size_t n) override {
    if (!status_.ok() || closed_) return status_;
    if (uint64_t* left = state_->spaceFor(path_); left != nullptr) {
      const size_t fits = static_cast<size_t>(std::min<uint64_t>(*left, n));
      bytes_->insert(bytes_->end(), data, data + fits);
      *left -= fits;
      if (fits < n) {
        status_ = Status::failure(Status::Code::WriteFailed, std::strerror(ENOSPC));
        return status_;
      }
      return {};
    }
    bytes_->insert(bytes_->end(), data, data + n);
    return {};
  }
  Status close() override {
    closed_ = true;
    return status_;
  }
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }

 private:
  std::shared_ptr<State> state_;
  std::string path_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  bool closed_ = false;
  Status status_;
};

// Writes anywhere in the file; only bytes past its end count against a space limit.
class SeekableMemorySink final : public SeekableSink {
 public:
  SeekableMemorySink(std::shared_ptr<State> state, std::string path,
                     std::shared_ptr<std::vector<uint8_t>> bytes)
      : state_(std::move(state)),
        path_(std::move(path)),
        bytes_(std::move(bytes)),
        head_(state_->headFor(path_)) {
    ++state_->open;
  }
  ~SeekableMemorySink() override { --state_->open; }

  Status write(const uint8_t* data, size_t n) override {
    if (!status_.ok() || closed_) return status_;
    size_t fits = n;
    const uint64_t held = size_;
    if (uint64_t* left = state_->spaceFor(path_); left != nullptr) {
      // Bytes past the end (with a gap before them, if any) take space; bytes over are free.
      const uint64_t end = position_ + n;
      if (end > held && end - held > *left) {
        const uint64_t over = end - held - *left;
        fits = over >= n ? 0 : static_cast<size_t>(n - over);
      }
      const uint64_t newEnd = position_ + fits;
      if (newEnd > held) *left -= std::min(*left, newEnd - held);
    }
    const uint64_t kept = std::min<uint64_t>(position_ + fits, head_);
    if (kept > position_) {
      if (kept > bytes_->size()) bytes_->resize(static_cast<size_t>(kept));
      std::copy_n(data, kept - position_, bytes_->data() + position_);
    }
    size_ = std::max(size_, position_ + fits);
    position_ += fits;
    if (fits < n) {
      status_ = Status::failure(Status::Code::WriteFailed, std::strerror(ENOSPC));
      return status_;
    }
    return {};
  }
  Status seek(uint64_t position) override {
    if (!status_.ok() || closed_) return status_;
    position_ = position;
    return {};
  }
  uint64_t position() const override { return position_; }
  uint64_t size() const override { return size_; }
  Status close() override {
    closed_ = true;
    return status_;
  }
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }

 private:
  std::shared_ptr<State> state_;
  std::string path_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  uint64_t head_;
  uint64_t position_ = 0;
  uint64_t size_ = 0;
  bool closed_ = false;
  Status status_;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() : state_(std::make_shared<State>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::add(const std::string& path, std::vector<uint8_t> bytes) {
  state_->files[path] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

const std::vector<uint8_t>* MemoryFileSystem::file(const std::string& path) const {
  const auto found = state_->files.find(path);
  return found == state_->files.end() ? nullptr : found->second.get();
}

void MemoryFileSystem::refuseOpen(const std::string& path, const std::string& reason) {
  state_->refusedOpens[path] = reason;
}

void MemoryFileSystem::refuseCreate(const std::string& prefix, const std::string& reason) {
  state_->refusedCreates[prefix] = reason;
}

void MemoryFileSystem::failRead(const std::string& path, int call, const std::string& reason) {
  state_->readFaults[path].push_back({call, reason, 0});
}

void MemoryFileSystem::shrinkAfterRead(const std::string& path, int call, uint64_t size) {
  state_->readFaults[path].push_back({call, "", size});
}

void MemoryFileSystem::limitSpace(const std::string& prefix, uint64_t bytes) {
  state_->space[prefix] = bytes;
}

void MemoryFileSystem::refuseRemove(const std::string& path, const std::string& reason) {
  state_->refusedRemoves[path] = reason;
}

bool MemoryFileSystem::isFolder(const std::string& path) const {
  if (state_->folders.count(path) != 0) return true;
  const std::string inside = path + "/";
  return std::any_of(state_->files.begin(), state_->files.end(),
                     [&](const auto& file) { return file.first.starts_with(inside); });
}

Status MemoryFileSystem::listFolder(const std::string& path,
                                    std::vector<std::string>* names) const {
  names->clear();
  if (!isFolder(path)) return Status::failure(Status::Code::OpenFailed, std::strerror(ENOENT));
  const std::string inside = path + "/";
  std::set<std::string> found;
  const auto add = [&](const std::string& other) {
    if (!other.starts_with(inside) || other.size() == inside.size()) return;
    found.insert(other.substr(inside.size(), other.find('/', inside.size()) - inside.size()));
  };
  for (const auto& [file, bytes] : state_->files)
    add(file);
  for (const std::string& folder : state_->folders)
    add(folder);
  names->assign(found.begin(), found.end());
  return {};
}

void MemoryFileSystem::keepHead(const std::string& prefix, uint64_t bytes) {
  state_->heads[prefix] = bytes;
}

int MemoryFileSystem::openFiles() const {
  return state_->open;
}

Status MemoryFileSystem::openForReading(const std::string& path,
                                        std::unique_ptr<ByteSource>* source) {
  if (const auto refused = state_->refusedOpens.find(path); refused != state_->refusedOpens.end()) {
    return Status::failure(Status::Code::OpenFailed, refused->second);
  }
  const auto found = state_->files.find(path);
  if (found == state_->files.end()) {
    return Status::failure(Status::Code::OpenFailed, std::strerror(ENOENT));
  }
  *source = std::make_unique<Source>(state_, path, found->second);
  return {};
}

Status MemoryFileSystem::create(const std::string& path, std::unique_ptr<ByteSink>* sink) {
  for (const auto& [prefix, reason] : state_->refusedCreates) {
    if (path.starts_with(prefix)) return Status::failure(Status::Code::CreateFailed, reason);
  }
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  state_->files[path] = bytes;
  *sink = std::make_unique<Sink>(state_, path, bytes);
  return {};
}

Status MemoryFileSystem::createSeekable(const std::string& path,
                                        std::unique_ptr<SeekableSink>* sink) {
  for (const auto& [prefix, reason] : state_->refusedCreates) {
    if (path.starts_with(prefix)) return Status::failure(Status::Code::CreateFailed, reason);
  }
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  state_->files[path] = bytes;
  *sink = std::make_unique<SeekableMemorySink>(state_, path, bytes);
  return {};
}

bool MemoryFileSystem::isFile(const std::string& path) const {
  return state_->files.count(path) != 0;
}

bool MemoryFileSystem::sameFile(const std::string& a, const std::string& b) const {
  return !a.empty() && a == b && isFile(a);
}

Status MemoryFileSystem::createFolder(const std::string& path) {
  for (const auto& [prefix, reason] : state_->refusedCreates) {
    if (path.starts_with(prefix)) return Status::failure(Status::Code::CreateFailed, reason);
  }
  if (isFile(path) || isFolder(path)) {
    return Status::failure(Status::Code::CreateFailed, std::strerror(EEXIST));
  }
  state_->folders.insert(path);
  return {};
}

Status MemoryFileSystem::remove(const std::string& path) {
  const auto refuse = [](std::string reason) {
    return Status::failure(Status::Code::RemoveFailed, std::move(reason));
  };
  if (const auto refused = state_->refusedRemoves.find(path);
      refused != state_->refusedRemoves.end()) {
    return refuse(refused->second);
  }
  if (state_->files.erase(path) != 0) return {};
  if (!isFolder(path)) {
    return refuse(std::strerror(ENOENT));
  }
  const std::string inside = path + "/";
  const auto holds = [&](const std::string& other) { return other.starts_with(inside); };
  if (std::any_of(state_->folders.begin(), state_->folders.end(), holds) ||
      std::any_of(state_->files.begin(), state_->files.end(),
                  [&](const auto& file) { return holds(file.first); })) {
    return refuse(std::strerror(ENOTEMPTY));
  }
  state_->folders.erase(path);
  return {};
}

}  // namespace korvell::testing
