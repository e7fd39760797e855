#include "engine/file_system.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvell {

namespace {

class RealFileSystem final : public FileSystem {
 public:
  Status openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) override {
    std::unique_ptr<FileSource> file;
    Status opened = FileSource::open(path, &file);
    *source = std::move(file);
    return opened;
  }

  Status create(const std::string& path, std::unique_ptr<ByteSink>* sink) override {
    std::unique_ptr<FileSink> file;
    Status created = FileSink::create(path, &file);
    *sink = std::move(file);
    return created;
  }

  Status createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) override {
    std::unique_ptr<SeekableFile> file;
    Status created = SeekableFile::create(path, &file);
    *sink = std::move(file);
    return created;
  }

  bool isFile(const std::string& path) const override {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
  }

  bool isFolder(const std::string& path) const override {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
  }

  Status listFolder(const std::string& path, std::vector<std::string>* names) const override {
    names->clear();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end;
         it.increment(ec)) {
      names->push_back(it->path().filename().string());
    }
    if (ec) return Status::failure(Status::Code::OpenFailed, ec.message());
    return {};
  }

  bool sameFile(const std::string& a, const std::string& b) const override {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
  }

  Status createFolder(const std::string& path) override {
    std::error_code ec;
    if (std::filesystem::create_directory(path, ec)) return {};
    // create_directory reports an existing folder as no error and no creation.
    const std::string reason = ec ? ec.message() : std::generic_category().message(EEXIST);
    return Status::failure(Status::Code::CreateFailed, reason);
  }

  Status remove(const std::string& path) override {
    std::error_code ec;
    if (std::filesystem::remove(path, ec)) return {};
    return Status::failure(Status::Code::RemoveFailed,
                           ec ? ec.message() : std::generic_category().message(ENOENT));
  }
};

}  // namespace

Status readWholeFile(FileSystem& files, const std::string& path, uint64_t maxSize,
                     std::string* bytes) {
  bytes->clear();
  std::unique_ptr<ByteSource> source;
  if (Status opened = files.openForReading(path, &source); !opened.ok()) return opened;
  if (source->size() > maxSize) {
    return Status::failure(Status::Code::ReadFailed,
                           "it is larger than " + std::to_string(maxSize) + " bytes");
  }
  bytes->resize(static_cast<size_t>(source->size()));
  size_t done = 0;
  while (done < bytes->size()) {
    size_t got = 0;
    const Status read =
        source->read(reinterpret_cast<uint8_t*>(bytes->data()) + done, bytes->size() - done, got);
    if (!read.ok()) return read;
    if (got == 0) break;
    done += got;
  }
  bytes->resize(done);
  return {};
}

FileSystem& realFileSystem() {
  static RealFileSystem files;
  return files;
}

}  // namespace korvell
