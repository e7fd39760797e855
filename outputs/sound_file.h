// One WAV/RF64 or FLAC file written by libsndfile through a FileSystem's seekable file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/file_system.h"
#include "engine/status.h"
#include "outputs/lpcm_decoder.h"
#include "outputs/pcm_output.h"

struct sf_private_tag;

namespace korvell {

class SoundFile {
 public:
  /// Creates path through `files` and writes the header of `format` in `form` (see
  /// makePcmOutput for what the files hold). A CreateFailed status when the file cannot be
  /// created or libsndfile refuses the format; a WriteFailed one when the header cannot be
  /// written.
  static Status create(FileSystem& files, const std::string& path, PcmForm form,
                       const PcmFormat& format, std::unique_ptr<SoundFile>* file);
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  /// Appends `frames` sample periods of interleaved samples, each sample's bits at the top of
  /// its 32 bits. The first failure is kept: later writes do nothing and return it.
  Status write(const int32_t* samples, size_t frames);
  /// WAV only: appends data bytes as they stand (whole sample periods, little-endian).
  Status writeWav(const uint8_t* bytes, size_t size);
  /// Completes the header and closes; the first failure of the file's life.
  Status close();
  const std::string& path() const { return path_; }

 private:
  SoundFile(std::unique_ptr<SeekableSink> sink, std::string path);
  Status failure(const char* what);

  std::unique_ptr<SeekableSink> sink_;
  std::string path_;
  sf_private_tag* file_ = nullptr;
  Status status_;
  friend struct SoundFileIo;
};

}  // namespace korvell
