// The runs reach files only through a FileSystem, so tests can give them files in memory that
// fail where a disk would (a full disk, an unreadable file, a file cut while it is read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_io.h"
#include "engine/status.h"

namespace korvell {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens path for reading into *source, which the caller then owns; an OpenFailed status
  /// with the reason when it cannot.
  virtual Status openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) = 0;

  /// Creates path anew (an existing file is replaced) into *sink, which the caller owns and
  /// closes; a CreateFailed status with the reason when it cannot.
  virtual Status create(const std::string& path, std::unique_ptr<ByteSink>* sink) = 0;

  /// Creates path anew (an existing file is replaced) into *sink, an output that can be
  /// written at any position, which the caller owns and closes; a CreateFailed status with the
  /// reason when it cannot.
  virtual Status createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) = 0;

  /// Whether path is an ordinary file (not a folder).
  virtual bool isFile(const std::string& path) const = 0;

  /// Whether path is a folder.
  virtual bool isFolder(const std::string& path) const = 0;

  /// The names of the entries of the folder at path (files and folders, without "." and ".."),
  /// in no set order, into *names; an OpenFailed status with the reason when the folder cannot
  /// be read.
  virtual Status listFolder(const std::string& path, std::vector<std::string>* names) const = 0;

  /// Whether two paths name the same file (through links too); false when either is missing.
  virtual bool sameFile(const std::string& a, const std::string& b) const = 0;

  /// Creates the folder path; its parent must exist. A CreateFailed status with the reason
  /// when it cannot, also when something of that name exists already.
  virtual Status createFolder(const std::string& path) = 0;

  /// Removes the file, or the empty folder, at path. A RemoveFailed status with the system's
  /// reason when it cannot (also when nothing of that name exists).
  virtual Status remove(const std::string& path) = 0;
};

/// Reads the whole file at path into *bytes: an OpenFailed status when it cannot be opened, a
/// ReadFailed one when it cannot be read or holds more than maxSize bytes ("it is larger than
/// N bytes").
Status readWholeFile(FileSystem& files, const std::string& path, uint64_t maxSize,
                     std::string* bytes);

/// The files of the machine: FileSource, FileSink and SeekableFile.
FileSystem& realFileSystem();

}  // namespace korvell
