#include "disc/udf_image.h"

#include <fcntl.h>
#include <udfread/blockinput.h>
#include <udfread/udfread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "engine/file_kinds.h"

namespace korvell {

namespace {

constexpr uint64_t kBlockSize = UDF_BLOCK_SIZE;  // 2,048 bytes, the UDF logical block
// Blocks asked of libudfread per call while a file's place in the image is mapped.
constexpr uint32_t kMapChunk = 512;
// Block reads libudfread may make while it reads the volume and the directories: a real disc
// needs a few thousand; a volume descriptor sequence that points back at itself would never end.
constexpr uint64_t kMetadataBudget = uint64_t{1} << 18;
// A file held in its own file entry is at most one block.
constexpr int64_t kMostInline = static_cast<int64_t>(kBlockSize);

std::string normalPath(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().generic_string();
  while (normal.size() > 1 && normal.back() == '/')
    normal.pop_back();
  return normal.empty() ? "." : normal;
}

// A name as a message shows it, in quotes and on one line: control characters as \xHH, and
// with `ascii` every byte beyond ASCII too (for a name that is no valid UTF-8).
std::string inQuotes(const std::string& name, bool ascii = false) {
  std::string shown = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || (ascii && byte >= 0x80)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown + "\"";
}

Status readOnly(const std::string& image) {
  return Status::failure(Status::Code::CreateFailed,
                         "It lies in the disc image " + inQuotes(image) + ", which is read-only.");
}

void appendUtf8(uint32_t point, std::string* out) {
  if (point < 0x80) {
    *out += static_cast<char>(point);
  } else if (point < 0x800) {
    *out += static_cast<char>(0xC0 | point >> 6);
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    *out += static_cast<char>(0xE0 | point >> 12);
    *out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | point >> 18);
    *out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// libudfread hands names over as it decoded the disc's 8- or 16-bit characters: a NUL as the
// two bytes C0 80, each UTF-16 unit on its own (so a character beyond the first 65,536 comes
// as two surrogates of three bytes each), U+07FF in three bytes. The name as UTF-8, or false
// when it holds a NUL, a lone surrogate or bytes that decode to nothing.
bool utf8Name(const std::string& library, std::string* name) {
  name->clear();
  const auto* p = reinterpret_cast<const unsigned char*>(library.data());
  const size_t n = library.size();
  const auto continuation = [&](size_t at) { return at < n && (p[at] & 0xC0) == 0x80; };
  uint32_t pendingHigh = 0;  // a high surrogate waiting for its low half
  for (size_t i = 0; i < n;) {
    uint32_t point = 0;
    if (p[i] < 0x80) {
      point = p[i];
      i += 1;
    } else if ((p[i] & 0xE0) == 0xC0 && continuation(i + 1)) {
      point = (p[i] & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
      i += 2;
    } else if ((p[i] & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
      point = (p[i] & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
      i += 3;
    } else if ((p[i] & 0xF8) == 0xF0 && continuation(i + 1) && continuation(i + 2) &&
               continuation(i + 3)) {
      point = (p[i] & 0x07u) << 18 | (p[i + 1] & 0x3Fu) << 12 | (p[i + 2] & 0x3Fu) << 6 |
              (p[i + 3] & 0x3Fu);
      i += 4;
    } else {
      return false;
    }
    if (point >= 0xD800 && point <= 0xDBFF) {
      if (pendingHigh != 0) return false;
      pendingHigh = point;
      continue;
    }
    if (point >= 0xDC00 && point <= 0xDFFF) {
      if (pendingHigh == 0) return false;
      point = 0x10000 + ((pendingHigh - 0xD800) << 10) + (point - 0xDC00);
      pendingHigh = 0;
    } else if (pendingHigh != 0) {
      return false;
    }
    if (point == 0 || point > 0x10FFFF) return false;
    appendUtf8(point, name);
  }
  return pendingHigh == 0;
}

// While libudfread reads, its diagnostics would go to standard error beside the one message
// the open gives: they are sent to the null device until it is done.
class QuietStandardError {
 public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStandardError() {
    std::fflush(stderr);
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
};

// What libudfread reads the image through. Besides reading blocks it watches what it is asked:
// a read past the image's end, the first block of a call (a folder's file entry), and, while a
// file is mapped, the runs of blocks that hold the file, which are recorded instead of read.
struct BlockInput {
  udfread_block_input base{};  // first, so that libudfread's pointer is this object's
  ByteSource* image = nullptr;
  uint64_t imageSize = 0;
  uint64_t budget = kMetadataBudget;
  bool pastEnd = false;
  bool budgetSpent = false;
  std::optional<uint32_t> firstBlock;
  bool mapping = false;
  std::vector<std::pair<uint64_t, uint64_t>> runs;  // first block, count

  void watch() {
    pastEnd = false;
    firstBlock.reset();
  }

  static BlockInput& of(udfread_block_input* input) {
    return *reinterpret_cast<BlockInput*>(input);
  }

  static int read(udfread_block_input* input, uint32_t lba, void* buffer, uint32_t blocks, int) {
    BlockInput& self = of(input);
    if (!self.firstBlock) self.firstBlock = lba;
    if (self.mapping) {
      if (!self.runs.empty() && self.runs.back().first + self.runs.back().second == lba) {
        self.runs.back().second += blocks;
      } else {
        self.runs.emplace_back(lba, blocks);
      }
      return static_cast<int>(blocks);
    }
    if ((uint64_t{lba} + blocks) * kBlockSize > self.imageSize) {
      self.pastEnd = true;
      return -1;
    }
    if (self.budget < blocks) {
      self.budgetSpent = true;
      return -1;
    }
    self.budget -= blocks;
    auto* into = static_cast<uint8_t*>(buffer);
    const size_t want = blocks * kBlockSize;
    if (!self.image->seek(uint64_t{lba} * kBlockSize).ok()) return -1;
    for (size_t done = 0; done < want;) {
      size_t got = 0;
      if (!self.image->read(into + done, want - done, got).ok() || got == 0) return -1;
      done += got;
    }
    return static_cast<int>(blocks);
  }

  static uint32_t size(udfread_block_input* input) {
    return static_cast<uint32_t>(std::min<uint64_t>(of(input).imageSize / kBlockSize, UINT32_MAX));
  }
};

struct UdfClose {
  void operator()(udfread* udf) const { udfread_close(udf); }
};
struct DirClose {
  void operator()(UDFDIR* dir) const { udfread_closedir(dir); }
};
struct FileClose {
  void operator()(UDFFILE* file) const { udfread_file_close(file); }
};
using DirHandle = std::unique_ptr<UDFDIR, DirClose>;
using FileHandle = std::unique_ptr<UDFFILE, FileClose>;

}  // namespace

/// One file or folder of the image.
struct UdfImage::Entry {
  struct Piece {
    uint64_t offset = 0;  ///< in the image
    uint64_t length = 0;
  };
  std::string name;  ///< UTF-8; empty for the root
  bool folder = false;
  uint64_t size = 0;
  std::vector<Piece> pieces;       ///< where the file's bytes lie, in order
  std::vector<uint8_t> heldBytes;  ///< a small file held in its file entry
  std::vector<int> children;       ///< a folder's entries
};

namespace {

using Entry = UdfImage::Entry;

// A file inside the image, read from the image's own bytes.
class ImageFile final : public ByteSource {
 public:
  ImageFile(std::unique_ptr<ByteSource> image, const Entry& entry)
      : image_(std::move(image)), entry_(entry) {}

  Status read(uint8_t* dst, size_t n, size_t& got) override {
    got = 0;
    if (!status_.ok()) return status_;
    size_t done = 0;
    while (done < n && position_ < entry_.size) {
      const size_t want =
          static_cast<size_t>(std::min<uint64_t>(n - done, entry_.size - position_));
      if (entry_.pieces.empty()) {  // held in its file entry
        std::copy_n(entry_.heldBytes.begin() + static_cast<std::ptrdiff_t>(position_), want,
                    dst + done);
        done += want;
        position_ += want;
        continue;
      }
      while (position_ >= pieceStart_ + entry_.pieces[piece_].length) {
        pieceStart_ += entry_.pieces[piece_].length;
        ++piece_;
      }
      const Entry::Piece& piece = entry_.pieces[piece_];
      const uint64_t at = piece.offset + (position_ - pieceStart_);
      const size_t part =
          static_cast<size_t>(std::min<uint64_t>(want, piece.length - (position_ - pieceStart_)));
      Status result;
      if (image_->position() != at) result = image_->seek(at);
      size_t read = 0;
      if (result.ok()) result = image_->read(dst + done, part, read);
      if (result.ok() && read == 0) {
        // The image was cut after it was opened.
        result = Status::readFailed("The disc image ended at byte " + std::to_string(at) +
                                    ", before this file's end.");
      }
      if (!result.ok()) {
        status_ = Status::readFailed(result.reason());
        return status_;
      }
      done += read;
      position_ += read;
    }
    got = done;
    return {};
  }

  Status seek(uint64_t position) override {
    if (!status_.ok()) return status_;
    if (position > entry_.size) {
      status_ = Status::readFailed(seekPastEndReason(position, entry_.size));
      return status_;
    }
    position_ = position;
    piece_ = 0;
    pieceStart_ = 0;
    return {};
  }

  uint64_t size() const override { return entry_.size; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  std::unique_ptr<ByteSource> image_;
  const Entry& entry_;  // the image outlives its sources
  uint64_t position_ = 0;
  size_t piece_ = 0;
  uint64_t pieceStart_ = 0;  // where piece_ starts in the file
  Status status_;
};

// Reads the tree of an open image into entries, checking everything as it goes.
class TreeReader {
 public:
  TreeReader(BlockInput& input, std::vector<Entry>& entries, const std::string& image)
      : input_(input),
        entries_(entries),
        cannot_("Cannot read the disc image " + inQuotes(image) + ": ") {}

  Status readFolder(UDFDIR* dir, int index, const std::string& path, int depth) {
    if (depth > UdfImage::kMaxDepth) {
      return Status::readFailed(cannot_ + "its folders nest more than " +
                                std::to_string(UdfImage::kMaxDepth) + " deep at " + inQuotes(path) +
                                " (a folder that loops back)");
    }
    udfread_dirent entry{};
    while (udfread_readdir(dir, &entry) != nullptr) {
      const std::string library = entry.d_name;
      if (library == "..") continue;
      std::string name;
      if (!utf8Name(library, &name)) {
        return Status::readFailed(cannot_ + "the name of an entry of " + inQuotes(shown(path)) +
                                  " is not valid UTF-8: " + inQuotes(library, true));
      }
      if (name == "." || name == ".." || name.find('/') != std::string::npos) {
        return Status::readFailed(cannot_ + "the entry " + inQuotes(name) + " of " +
                                  inQuotes(shown(path)) + " has a name that no file can have");
      }
      if (entries_.size() >= UdfImage::kMaxEntries) {
        return Status::readFailed(cannot_ + "it holds more than " +
                                  std::to_string(UdfImage::kMaxEntries) +
                                  " files and folders (a folder that loops back)");
      }
      const std::string childPath = path.empty() ? name : path + "/" + name;
      const int child = static_cast<int>(entries_.size());
      entries_.push_back({});
      entries_[child].name = name;
      entries_[static_cast<size_t>(index)].children.push_back(child);
      if (entry.d_type == UDF_DT_DIR) {
        entries_[child].folder = true;
        input_.watch();
        DirHandle sub(udfread_opendir_at(dir, library.c_str()));
        if (!sub) return unreadable("folder", childPath);
        if (input_.firstBlock) {
          const auto [seen, added] = folderAt_.try_emplace(*input_.firstBlock, childPath);
          if (!added) {
            return Status::readFailed(cannot_ + "the folder " + inQuotes(childPath) +
                                      " is the folder " + inQuotes(seen->second) +
                                      " again (its folders loop)");
          }
        }
        if (Status read = readFolder(sub.get(), child, childPath, depth + 1); !read.ok()) {
          return read;
        }
      } else if (Status mapped = mapFile(dir, library, child, childPath); !mapped.ok()) {
        return mapped;
      }
    }
    return {};
  }

 private:
  static std::string shown(const std::string& path) { return path.empty() ? "/" : path; }

  Status unreadable(const char* what, const std::string& path) {
    if (input_.budgetSpent) {
      return Status::readFailed(cannot_ + "reading " + inQuotes(path) +
                                " never ends (its structures loop)");
    }
    return Status::readFailed(cannot_ + "the " + what + " " + inQuotes(path) + " " +
                              (input_.pastEnd
                                   ? "lies past the image's end (the image is truncated, or "
                                     "the entry points outside it)"
                                   : "is damaged"));
  }

  Status pastEnd(const std::string& path) {
    return Status::readFailed(cannot_ + "the file " + inQuotes(path) +
                              " runs past the image's end (the image is truncated)");
  }

  // Where the file lies in the image: libudfread is asked for its blocks while the input
  // records the runs it would read; then every run is checked to lie within the image.
  Status mapFile(UDFDIR* dir, const std::string& library, int index, const std::string& path) {
    input_.watch();
    FileHandle file(udfread_file_openat(dir, library.c_str()));
    if (!file) return unreadable("file", path);
    const int64_t size = udfread_file_size(file.get());
    if (size < 0) return unreadable("file", path);
    Entry& entry = entries_[static_cast<size_t>(index)];
    entry.size = static_cast<uint64_t>(size);
    if (entry.size == 0) return {};
    if (entry.size > input_.imageSize) return pastEnd(path);
    const uint64_t blocks = (entry.size + kBlockSize - 1) / kBlockSize;
    input_.runs.clear();
    input_.mapping = true;
    uint64_t given = 0;  // blocks libudfread returned, zero-filled ones included
    for (uint64_t block = 0; block < blocks;) {
      const auto count = static_cast<uint32_t>(std::min<uint64_t>(kMapChunk, blocks - block));
      const uint32_t got =
          udfread_read_blocks(file.get(), scratch_.data(), static_cast<uint32_t>(block), count, 0);
      given += got;
      if (got < count) break;
      block += count;
    }
    input_.mapping = false;
    uint64_t recorded = 0;
    for (const auto& [first, count] : input_.runs)
      recorded += count;
    if (given == 0 && recorded == 0 && size <= kMostInline)
      return readHeld(file.get(), entry, path);
    if (given < blocks || recorded < given) {
      return Status::readFailed(cannot_ + "the file " + inQuotes(path) +
                                " is damaged (parts of it lie nowhere in the image)");
    }
    uint64_t left = entry.size;
    for (const auto& [first, count] : input_.runs) {
      const uint64_t length = std::min(left, count * kBlockSize);
      if (length == 0) break;
      if (first * kBlockSize + length > input_.imageSize) return pastEnd(path);
      entry.pieces.push_back({first * kBlockSize, length});
      left -= length;
    }
    return {};
  }

  // A small file held in its own file entry: its bytes are kept.
  Status readHeld(UDFFILE* file, Entry& entry, const std::string& path) {
    entry.heldBytes.resize(static_cast<size_t>(entry.size));
    if (udfread_file_read(file, entry.heldBytes.data(), entry.heldBytes.size()) !=
        static_cast<ssize_t>(entry.heldBytes.size())) {
      return unreadable("file", path);
    }
    return {};
  }

  BlockInput& input_;
  std::vector<Entry>& entries_;
  const std::string cannot_;
  std::map<uint32_t, std::string> folderAt_;  // folders by the block of their file entry
  std::vector<uint8_t> scratch_ = std::vector<uint8_t>(kMapChunk * kBlockSize);
};

// Why libudfread could not open the image as a UDF volume, told from what it read.
Status notUdf(ByteSource& image, const BlockInput& input, const std::string& path) {
  const std::string cannot = "Cannot read the disc image " + inQuotes(path) + ": ";
  if (input.budgetSpent) return Status::readFailed(cannot + "its volume descriptors loop");
  // The volume recognition sequence from block 16 on: BEA01, then NSR02 or NSR03.
  bool nsr = false;
  for (uint64_t block = 16; block < 64 && (block + 1) * kBlockSize <= image.size(); ++block) {
    uint8_t head[8] = {};
    size_t got = 0;
    if (!image.seek(block * kBlockSize).ok() || !image.read(head, sizeof head, got).ok()) break;
    const std::string id(reinterpret_cast<const char*>(head) + 1, 5);
    if (id == "NSR02" || id == "NSR03") nsr = true;
  }
  if (!nsr) {
    return Status::readFailed(cannot +
                              "it is not a UDF image (it has no UDF volume recognition sequence)");
  }
  if (input.pastEnd) {
    return Status::readFailed(cannot +
                              "its UDF volume structures lie past its end (it is truncated)");
  }
  return Status::readFailed(cannot + "its UDF volume structures are damaged");
}

}  // namespace

bool isDiscImage(const std::string& path) {
  return upperExtension(path) == ".ISO";
}

UdfImage::UdfImage(FileSystem& outside, std::string imagePath)
    : outside_(outside), imagePath_(std::move(imagePath)) {}

UdfImage::~UdfImage() = default;

Status UdfImage::open(FileSystem& outside, const std::string& imagePath,
                      std::unique_ptr<UdfImage>* image) {
  std::unique_ptr<UdfImage> opened(new UdfImage(outside, normalPath(imagePath)));
  std::unique_ptr<ByteSource> source;
  if (Status status = outside.openForReading(imagePath, &source); !status.ok()) {
    return Status::openFailed("Cannot open the disc image " + inQuotes(imagePath) + ": " +
                              status.reason());
  }
  BlockInput input;
  input.base.read = &BlockInput::read;
  input.base.size = &BlockInput::size;
  input.image = source.get();
  input.imageSize = source->size();
  const QuietStandardError quiet;
  std::unique_ptr<udfread, UdfClose> udf(udfread_init());
  if (!udf)
    return Status::openFailed("Cannot open the disc image " + inQuotes(imagePath) +
                              ": out of memory");
  if (udfread_open_input(udf.get(), &input.base) < 0) return notUdf(*source, input, imagePath);
  opened->entries_.push_back({});
  opened->entries_[0].folder = true;
  DirHandle root(udfread_opendir(udf.get(), "/"));
  if (!root) {
    return Status::readFailed("Cannot read the disc image " + inQuotes(imagePath) +
                              ": its root folder cannot be read");
  }
  TreeReader reader(input, opened->entries_, imagePath);
  if (Status read = reader.readFolder(root.get(), 0, "", 1); !read.ok()) return read;
  *image = std::move(opened);
  return {};
}

int UdfImage::find(const std::string& path) const {
  const std::string normal = normalPath(path);
  if (normal == imagePath_) return 0;
  if (normal.size() <= imagePath_.size() + 1 || !normal.starts_with(imagePath_) ||
      normal[imagePath_.size()] != '/') {
    return -1;
  }
  int at = 0;
  size_t start = imagePath_.size() + 1;
  while (start <= normal.size()) {
    const size_t slash = std::min(normal.find('/', start), normal.size());
    const std::string name = normal.substr(start, slash - start);
    const Entry& folder = entries_[static_cast<size_t>(at)];
    if (!folder.folder) return -2;
    const auto child = std::find_if(folder.children.begin(), folder.children.end(), [&](int i) {
      return entries_[static_cast<size_t>(i)].name == name;
    });
    if (child == folder.children.end()) return -2;
    at = *child;
    start = slash + 1;
  }
  return at;
}

Status UdfImage::openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) {
  const int at = find(path);
  if (at == -1) return outside_.openForReading(path, source);
  if (at == -2) return Status::openFailed(systemReason(ENOENT));
  const Entry& entry = entries_[static_cast<size_t>(at)];
  if (entry.folder) return Status::openFailed(systemReason(EISDIR));
  std::unique_ptr<ByteSource> image;
  if (Status opened = outside_.openForReading(imagePath_, &image); !opened.ok()) {
    return Status::openFailed("Cannot open the disc image " + inQuotes(imagePath_) + ": " +
                              opened.reason());
  }
  *source = std::make_unique<ImageFile>(std::move(image), entry);
  return {};
}

Status UdfImage::create(const std::string& path, std::unique_ptr<ByteSink>* sink) {
  if (find(path) != -1) return readOnly(imagePath_);
  return outside_.create(path, sink);
}

Status UdfImage::createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) {
  if (find(path) != -1) return readOnly(imagePath_);
  return outside_.createSeekable(path, sink);
}

Status UdfImage::createFolder(const std::string& path) {
  if (find(path) != -1) return readOnly(imagePath_);
  return outside_.createFolder(path);
}

Status UdfImage::remove(const std::string& path) {
  if (find(path) == -1) return outside_.remove(path);
  return Status::failure(Status::Code::RemoveFailed, readOnly(imagePath_).reason());
}

bool UdfImage::isFile(const std::string& path) const {
  const int at = find(path);
  if (at == -1) return outside_.isFile(path);
  return at >= 0 && !entries_[static_cast<size_t>(at)].folder;
}

bool UdfImage::isFolder(const std::string& path) const {
  const int at = find(path);
  if (at == -1) return outside_.isFolder(path);
  return at >= 0 && entries_[static_cast<size_t>(at)].folder;
}

Status UdfImage::listFolder(const std::string& path, std::vector<std::string>* names) const {
  const int at = find(path);
  if (at == -1) return outside_.listFolder(path, names);
  names->clear();
  if (at == -2) return Status::openFailed(systemReason(ENOENT));
  const Entry& folder = entries_[static_cast<size_t>(at)];
  if (!folder.folder) return Status::openFailed(systemReason(ENOTDIR));
  for (const int child : folder.children)
    names->push_back(entries_[static_cast<size_t>(child)].name);
  return {};
}

bool UdfImage::sameFile(const std::string& a, const std::string& b) const {
  const int first = find(a);
  const int second = find(b);
  if (first == -1 && second == -1) return outside_.sameFile(a, b);
  return first >= 0 && first == second;
}

}  // namespace korvell
