#include "outputs/pcm_output.h"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "engine/raw_outputs.h"
#include "outputs/lpcm_decoder.h"
#include "outputs/sound_file.h"
#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {
namespace {

// What a stream's header says, for either header kind: the formats are compared to find a
// change.
struct StreamFormat {
  std::optional<PcmFormat> dvd;
  std::optional<AobLpcmFormat> aob;
  bool operator==(const StreamFormat&) const = default;
};

std::string rateText(int rate) {
  const std::string whole = std::to_string(rate / 1000);
  return rate % 1000 == 0 ? whole : whole + "." + std::to_string(rate % 1000 / 100);
}

std::string formatText(const PcmFormat& f) {
  return std::to_string(f.bits) + " bits, " + rateText(f.rate) + " kHz, " +
         std::to_string(f.channels) + (f.channels == 1 ? " channel" : " channels");
}

class PcmOutput final : public StreamOutput {
 public:
  static constexpr size_t kFlushBytes = 256 * 1024;

  PcmOutput(FileSystem& files, Console& console, PcmOutputRequest request)
      : files_(files), console_(console), request_(std::move(request)) {}
  ~PcmOutput() override { finish(); }

  Status piece(const uint8_t* data, size_t size, const PieceContext& context) override;
  Status finish() override;
  std::vector<OutputFile> files() const override { return written_; }
  const std::string& failedPath() const override { return failedPath_; }
  const Status& status() const override { return status_; }

 private:
  enum class Mode : uint8_t { Waiting, Decoding, Raw };

  Status readHeader(std::span<const uint8_t> header, StreamFormat* format);
  Status startRaw(const std::string& problem);
  Status openPart();
  Status closePart();
  Status flush(int index);
  Status fail(const Status& status, const std::string& path);
  std::string streamName() const { return "LPCM stream " + hexText(id_, 2); }

  FileSystem& files_;
  Console& console_;
  const PcmOutputRequest request_;
  Mode mode_ = Mode::Waiting;
  uint8_t id_ = 0;
  StreamFormat format_;
  std::optional<LpcmDecoder> decoder_;
  std::array<std::unique_ptr<SoundFile>, LpcmDecoder::kMaxOutputs> sound_;
  // Decoded samples gathered for the files: WAV data bytes, or integers for FLAC.
  std::array<WavBytes, LpcmDecoder::kMaxOutputs> wav_;
  std::array<std::vector<int32_t>, LpcmDecoder::kMaxOutputs> samples_;
  std::unique_ptr<RawOutput> raw_;
  int part_ = 0;
  bool toldDamaged_ = false;
  bool finished_ = false;
  std::vector<OutputFile> written_;
  std::string failedPath_;
  Status status_;
};

Status PcmOutput::readHeader(std::span<const uint8_t> header, StreamFormat* format) {
  StreamFormat read;
  if (request_.audioObject) {
    if (Status status = aobLpcmFormat(header, &read.aob.emplace()); !status.ok()) return status;
  } else {
    if (Status status = dvdLpcmFormat(header, &read.dvd.emplace()); !status.ok()) return status;
  }
  *format = read;
  return {};
}

Status PcmOutput::fail(const Status& status, const std::string& path) {
  if (status_.ok() && !status.ok()) {
    status_ = status;
    failedPath_ = path;
  }
  return status_;
}

Status PcmOutput::startRaw(const std::string& problem) {
  mode_ = Mode::Raw;
  console_.log(streamName() + " has " + problem +
               " in its first header: the stream is written as it stands");
  std::unique_ptr<ByteSink> sink;
  if (Status created = files_.create(request_.rawPath, &sink); !created.ok()) {
    return fail(created, request_.rawPath);
  }
  raw_ = std::make_unique<RawOutput>(std::move(sink));
  written_.push_back({request_.rawPath, FileForm::Raw});
  console_.log("Creating " + escapeMarkup(request_.rawPath));
  return {};
}

Status PcmOutput::openPart() {
  ++part_;
  if (format_.dvd) {
    decoder_.emplace(*format_.dvd);
  } else {
    decoder_.emplace(*format_.aob, format_.aob->oneFile());
  }
  const int outputs = decoder_->outputs();
  const FileForm form = request_.form == PcmForm::Flac ? FileForm::Flac : FileForm::Wav;
  const auto pathOf = [&](int o) {
    return pcmFilePath(request_.basePath, part_, outputs == 2 ? o + 1 : 0, request_.form);
  };
  if (part_ > 1) {
    std::string formats;
    std::string names;
    for (int o = 0; o < outputs; ++o) {
      formats += (o == 0 ? "" : "; ") + formatText(decoder_->output(o));
      names += (o == 0 ? "" : " and ") + escapeMarkup(pathOf(o));
    }
    console_.log(streamName() + " changes to " + formats + ": going on in " + names);
  }
  for (int o = 0; o < outputs; ++o) {
    const std::string path = pathOf(o);
    Status created = SoundFile::create(files_, path, request_.form, decoder_->output(o),
                                       &sound_[static_cast<size_t>(o)]);
    if (!created.ok()) return fail(created, path);
    written_.push_back({path, form});
    console_.log("Creating " + escapeMarkup(path));
  }
  return {};
}

Status PcmOutput::flush(int index) {
  const auto i = static_cast<size_t>(index);
  SoundFile& sound = *sound_[i];
  Status written;
  if (request_.form == PcmForm::Wav) {
    written = sound.writeWav(wav_[i].data(), wav_[i].size());
    wav_[i].clear();
  } else {
    const auto channels = static_cast<size_t>(decoder_->output(index).channels);
    written = sound.write(samples_[i].data(), samples_[i].size() / channels);
    samples_[i].clear();
  }
  return written.ok() ? written : fail(written, sound.path());
}

Status PcmOutput::closePart() {
  for (size_t i = 0; i < sound_.size(); ++i) {
    if (!sound_[i]) continue;
    if (status_.ok()) flush(static_cast<int>(i));
    if (Status closed = sound_[i]->close(); !closed.ok()) fail(closed, sound_[i]->path());
    sound_[i].reset();
  }
  return status_;
}

Status PcmOutput::piece(const uint8_t* data, size_t size, const PieceContext& context) {
  if (!status_.ok() || finished_) return status_;
  if (mode_ == Mode::Raw) {
    if (Status written = raw_->piece(data, size, context); !written.ok()) {
      return fail(written, raw_->failedPath());
    }
    return {};
  }
  if (context.packetStart) {
    StreamFormat format;
    const Status read = readHeader(context.privateHeader, &format);
    if (mode_ == Mode::Waiting) {
      id_ = context.id;
      if (!read.ok()) {
        if (Status started = startRaw(read.reason()); !started.ok()) return started;
        return piece(data, size, context);
      }
      format_ = format;
      mode_ = Mode::Decoding;
      if (Status opened = openPart(); !opened.ok()) return opened;
    } else if (!read.ok()) {
      if (!toldDamaged_) {
        console_.log(streamName() + " has " + read.reason() +
                     " in a later header: its packets are read as the header before it says");
        toldDamaged_ = true;
      }
    } else if (!(format == format_)) {
      if (Status closed = closePart(); !closed.ok()) return closed;
      format_ = format;
      if (Status opened = openPart(); !opened.ok()) return opened;
    }
  }
  if (mode_ != Mode::Decoding) return {};
  // Samples go to the files in runs of kFlushBytes or more, not packet by packet.
  if (request_.form == PcmForm::Wav) {
    decoder_->decodeWav(data, size, wav_.data());
  } else {
    decoder_->decode(data, size, samples_.data());
  }
  for (int o = 0; o < decoder_->outputs(); ++o) {
    const auto i = static_cast<size_t>(o);
    if (wav_[i].size() + samples_[i].size() * sizeof(int32_t) < kFlushBytes) continue;
    if (Status written = flush(o); !written.ok()) return written;
  }
  return {};
}

Status PcmOutput::finish() {
  if (finished_) return status_;
  finished_ = true;
  if (raw_) {
    if (Status closed = raw_->finish(); !closed.ok()) fail(closed, raw_->failedPath());
  }
  closePart();
  return status_;
}

}  // namespace

std::string pcmFilePath(const std::string& basePath, int part, int group, PcmForm form) {
  std::string path = basePath;
  if (part > 1) path += "." + std::to_string(part);
  if (group > 0) path += ".g" + std::to_string(group);
  return path + (form == PcmForm::Flac ? ".flac" : ".wav");
}

std::unique_ptr<StreamOutput> makePcmOutput(FileSystem& files, Console& console,
                                            const PcmOutputRequest& request) {
  return std::make_unique<PcmOutput>(files, console, request);
}

}  // namespace korvell
