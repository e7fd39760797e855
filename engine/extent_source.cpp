#include "engine/extent_source.h"

#include <algorithm>
#include <map>

namespace korvell {

namespace {

std::string shortReason(uint64_t fileSize, const FileExtent& extent) {
  return "The file has " + std::to_string(fileSize) + " bytes, but bytes " +
         std::to_string(extent.offset) + " to " + std::to_string(extent.offset + extent.length) +
         " of it are to be read.";
}

}  // namespace

ExtentSource::ExtentSource(FileSystem& files, std::vector<FileExtent> extents)
    : files_(files), extents_(std::move(extents)) {
  for (const FileExtent& extent : extents_)
    size_ += extent.length;
}

Status ExtentSource::open(FileSystem& files, std::vector<FileExtent> extents,
                          std::unique_ptr<ExtentSource>* source, std::string* failedPath) {
  // The end of the furthest extent of each file, checked in the order the files come.
  std::vector<std::string> order;
  std::map<std::string, const FileExtent*> furthest;
  for (const FileExtent& extent : extents) {
    if (extent.length == 0) continue;
    const auto [at, added] = furthest.try_emplace(extent.path, &extent);
    if (added) order.push_back(extent.path);
    if (extent.offset + extent.length > at->second->offset + at->second->length)
      at->second = &extent;
  }
  for (const std::string& path : order) {
    std::unique_ptr<ByteSource> file;
    Status opened = files.openForReading(path, &file);
    if (opened.ok() && file->size() < furthest[path]->offset + furthest[path]->length) {
      opened =
          Status::failure(Status::Code::ReadFailed, shortReason(file->size(), *furthest[path]));
    }
    if (!opened.ok()) {
      *failedPath = path;
      return opened;
    }
  }
  source->reset(new ExtentSource(files, std::move(extents)));
  return {};
}

Status ExtentSource::fail(Status status) {
  status_ = std::move(status);
  file_.reset();
  return status_;
}

Status ExtentSource::prepare() {
  const FileExtent& extent = extents_[index_];
  if (!file_ || path_ != extent.path) {
    file_.reset();
    path_ = extent.path;
    if (Status opened = files_.openForReading(path_, &file_); !opened.ok()) return fail(opened);
    if (file_->size() < extent.offset + extent.length) {
      return fail(Status::failure(Status::Code::ReadFailed, shortReason(file_->size(), extent)));
    }
    positioned_ = false;
  }
  const uint64_t at = extent.offset + inExtent_;
  if (!positioned_ || file_->position() != at) {
    if (Status sought = file_->seek(at); !sought.ok()) return fail(sought);
    positioned_ = true;
  }
  return {};
}

Status ExtentSource::read(uint8_t* dst, size_t n, size_t& got) {
  got = 0;
  if (!status_.ok()) return status_;
  while (got < n && index_ < extents_.size()) {
    const FileExtent& extent = extents_[index_];
    if (inExtent_ == extent.length) {
      ++index_;
      inExtent_ = 0;
      continue;
    }
    Status ready = prepare();
    size_t part = 0;
    if (ready.ok()) {
      const auto want = static_cast<size_t>(std::min<uint64_t>(n - got, extent.length - inExtent_));
      ready = file_->read(dst + got, want, part);
      if (ready.ok() && part == 0) {
        // The file ended inside its extent: it shrank since it was opened.
        ready = Status::failure(Status::Code::ReadFailed,
                                shrunkReason(file_->position(), file_->size()));
      }
      if (!ready.ok()) fail(ready);
    }
    if (!ready.ok()) {
      // What this call read before the failure goes out first; the failure comes next time.
      return got > 0 ? Status() : status_;
    }
    got += part;
    inExtent_ += part;
    position_ += part;
  }
  return {};
}

Status ExtentSource::seek(uint64_t position) {
  if (!status_.ok()) return status_;
  if (position > size_) {
    return fail(Status::failure(Status::Code::ReadFailed, seekPastEndReason(position, size_)));
  }
  position_ = position;
  index_ = 0;
  while (index_ < extents_.size() && position >= extents_[index_].length) {
    position -= extents_[index_].length;
    ++index_;
  }
  inExtent_ = position;
  positioned_ = false;
  return {};
}

}  // namespace korvell
