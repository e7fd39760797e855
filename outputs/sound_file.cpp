#include "outputs/sound_file.h"

#include <sndfile.h>

#include <array>
#include <bit>
#include <vector>

namespace korvell {

// libsndfile's virtual file: every call goes to the seekable sink, whose first failure is
// kept for the Status the caller gets.
struct SoundFileIo {
  static SeekableSink& sink(void* user) { return *static_cast<SoundFile*>(user)->sink_; }

  static sf_count_t length(void* user) { return static_cast<sf_count_t>(sink(user).size()); }

  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    SeekableSink& s = sink(user);
    sf_count_t target = offset;
    if (whence == SEEK_CUR) target += static_cast<sf_count_t>(s.position());
    if (whence == SEEK_END) target += static_cast<sf_count_t>(s.size());
    if (target < 0 || !s.seek(static_cast<uint64_t>(target)).ok()) return -1;
    return target;
  }

  // The files are only written; libsndfile reads nothing back from them.
  static sf_count_t read(void*, sf_count_t, void*) { return 0; }

  static sf_count_t write(const void* data, sf_count_t count, void* user) {
    if (count <= 0) return 0;
    const Status written =
        sink(user).write(static_cast<const uint8_t*>(data), static_cast<size_t>(count));
    return written.ok() ? count : 0;
  }

  static sf_count_t tell(void* user) { return static_cast<sf_count_t>(sink(user).position()); }
};

namespace {

SF_VIRTUAL_IO kVirtualIo = {SoundFileIo::length, SoundFileIo::seek, SoundFileIo::read,
                            SoundFileIo::write, SoundFileIo::tell};

// libsndfile's names of the WAV speaker bits, bit 0 first (it names the front three LEFT,
// RIGHT and CENTER).
constexpr std::array<int, 11> kSpeakers = {SF_CHANNEL_MAP_LEFT,
                                           SF_CHANNEL_MAP_RIGHT,
                                           SF_CHANNEL_MAP_CENTER,
                                           SF_CHANNEL_MAP_LFE,
                                           SF_CHANNEL_MAP_REAR_LEFT,
                                           SF_CHANNEL_MAP_REAR_RIGHT,
                                           SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER,
                                           SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
                                           SF_CHANNEL_MAP_REAR_CENTER,
                                           SF_CHANNEL_MAP_SIDE_LEFT,
                                           SF_CHANNEL_MAP_SIDE_RIGHT};

std::vector<int> channelMap(uint32_t mask) {
  std::vector<int> map;
  for (size_t bit = 0; bit < kSpeakers.size(); ++bit) {
    if ((mask >> bit & 1) != 0) map.push_back(kSpeakers[bit]);
  }
  return map;
}

}  // namespace

SoundFile::SoundFile(std::unique_ptr<SeekableSink> sink, std::string path)
    : sink_(std::move(sink)), path_(std::move(path)) {}

SoundFile::~SoundFile() {
  close();
}

Status SoundFile::failure(const char* what) {
  if (status_.ok()) {
    status_ = !sink_->status().ok()
                  ? sink_->status()
                  : Status::failure(Status::Code::WriteFailed,
                                    std::string(what) + ": " + sf_strerror(file_));
  }
  return status_;
}

Status SoundFile::create(FileSystem& files, const std::string& path, PcmForm form,
                         const PcmFormat& format, std::unique_ptr<SoundFile>* file) {
  std::unique_ptr<SeekableSink> sink;
  if (Status created = files.createSeekable(path, &sink); !created.ok()) return created;
  std::unique_ptr<SoundFile> sound(new SoundFile(std::move(sink), path));
  SF_INFO info{};
  info.samplerate = format.rate;
  info.channels = format.channels;
  info.format = (form == PcmForm::Flac ? SF_FORMAT_FLAC : SF_FORMAT_RF64) |
                (format.bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
  sound->file_ = sf_open_virtual(&kVirtualIo, SFM_WRITE, &info, sound.get());
  if (sound->file_ == nullptr) {
    const Status& written = sound->sink_->status();
    sound->status_ = !written.ok() ? written
                                   : Status::failure(Status::Code::CreateFailed,
                                                     std::string("The sound file library refused "
                                                                 "the format: ") +
                                                         sf_strerror(nullptr));
    const Status failed = sound->status_;
    sound->sink_->close();
    return failed;
  }
  if (form == PcmForm::Wav) {
    // RIFF until the file passes 4 GiB; the header is written again at the first samples.
    sf_command(sound->file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    std::vector<int> map = channelMap(format.channelMask);
    if (std::ssize(map) == format.channels) {
      sf_command(sound->file_, SFC_SET_CHANNEL_MAP_INFO, map.data(),
                 static_cast<int>(map.size() * sizeof(int)));
    }
  }
  *file = std::move(sound);
  return {};
}

Status SoundFile::write(const int32_t* samples, size_t frames) {
  if (!status_.ok() || file_ == nullptr || frames == 0) return status_;
  const auto wanted = static_cast<sf_count_t>(frames);
  if (sf_writef_int(file_, samples, wanted) != wanted) return failure("Writing samples failed");
  return status_;
}

Status SoundFile::writeWav(const uint8_t* bytes, size_t size) {
  if (!status_.ok() || file_ == nullptr || size == 0) return status_;
  const auto wanted = static_cast<sf_count_t>(size);
  if (sf_write_raw(file_, bytes, wanted) != wanted) return failure("Writing samples failed");
  return status_;
}

Status SoundFile::close() {
  if (file_ == nullptr) return status_;
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0 && status_.ok()) {
    status_ =
        !sink_->status().ok()
            ? sink_->status()
            : Status::failure(Status::Code::WriteFailed,
                              std::string("Closing the file failed: ") + sf_error_number(closed));
  }
  if (const Status sinkClosed = sink_->close(); !sinkClosed.ok() && status_.ok()) {
    status_ = sinkClosed;
  }
  return status_;
}

}  // namespace korvell
