#include "runs/output_forms.h"

#include <variant>

#include "engine/file_kinds.h"
#include "engine/raw_outputs.h"
#include "outputs/pcm_output.h"
#include "outputs/pgs_output.h"
#include "outputs/vobsub_output.h"
#include "report/markup.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

// Without a video size from the Read run (Details off, no MPEG-2 or VC-1 video) PGS covers
// the frame of the source's disc format.
constexpr uint16_t kHdWidth = 1920;
constexpr uint16_t kHdHeight = 1080;
constexpr uint16_t kDvdWidth = 720;
constexpr uint16_t kDvdHeight = 576;
constexpr uint16_t kMaxFrameSide = 4096;

std::optional<int64_t> integerField(const StreamDetails& details, std::string_view name) {
  std::optional<int64_t> found;
  for (const DetailField& field : details.fields) {  // a name given twice: its last value
    if (field.name != name) continue;
    if (const auto* value = std::get_if<int64_t>(&field.value)) found = *value;
  }
  return found;
}

// The width and height the Read run decoded for video stream 0, when both are sane.
std::optional<std::pair<uint16_t, uint16_t>> videoSize(const RunState& state) {
  const StreamDetails& video = state.results.details(Family::Video, 0);
  const std::optional<int64_t> width = integerField(video, "width");
  const std::optional<int64_t> height = integerField(video, "height");
  if (!width || !height || *width <= 0 || *height <= 0 || *width > kMaxFrameSide ||
      *height > kMaxFrameSide) {
    return std::nullopt;
  }
  return std::pair(static_cast<uint16_t>(*width), static_cast<uint16_t>(*height));
}

bool isLpcm(const StreamKindInfo* kind) {
  return kind != nullptr && kind->codec == Codec::Lpcm;
}

}  // namespace

const StreamKindInfo* foundKind(const RunState& state, Slot slot) {
  const int32_t recorded = state.results.details(slot.family, slot.index).id;
  const int32_t id = recorded != -1 ? recorded : state.registry.registeredId(slot);
  return registeredKind(slot.family, id, isAudioObject(state.sourcePath));
}

std::string rawExtension(const StreamKindInfo* kind, Family family, const RunSettings& settings) {
  if (settings.codecExtensions && kind != nullptr) return kind->codecExtension;
  switch (family) {
    case Family::Video:
      return settings.videoExt;
    case Family::Audio:
      return settings.audioExt;
    case Family::Subpicture:
      break;
  }
  return settings.subExt;
}

std::optional<int32_t> fileDelayMs(const RunState& state, Slot slot, FileForm form) {
  const bool onVideoTimeline =
      form == FileForm::VobSubIndex || form == FileForm::VobSubData || form == FileForm::Pgs;
  if (slot.family != Family::Subpicture || !onVideoTimeline) {
    return state.results.delayMs(slot.family, slot.index);
  }
  return state.results.videoTimes[0].firstPts ? std::optional<int32_t>(0) : std::nullopt;
}

// The run's file system, refusing to create any of the run's inputs, so that no output, late
// ones included, ever truncates what the run reads.
class DemuxOutputs::GuardedFiles final : public FileSystem {
 public:
  GuardedFiles(FileSystem& files, std::vector<std::string> inputs)
      : files_(files), inputs_(std::move(inputs)) {}

  Status openForReading(const std::string& path, std::unique_ptr<ByteSource>* source) override {
    return files_.openForReading(path, source);
  }
  Status create(const std::string& path, std::unique_ptr<ByteSink>* sink) override {
    if (isInput(path)) return refused();
    return files_.create(path, sink);
  }
  Status createSeekable(const std::string& path, std::unique_ptr<SeekableSink>* sink) override {
    if (isInput(path)) return refused();
    return files_.createSeekable(path, sink);
  }
  bool isFile(const std::string& path) const override { return files_.isFile(path); }
  bool isFolder(const std::string& path) const override { return files_.isFolder(path); }
  Status listFolder(const std::string& path, std::vector<std::string>* names) const override {
    return files_.listFolder(path, names);
  }
  bool sameFile(const std::string& a, const std::string& b) const override {
    return files_.sameFile(a, b);
  }
  Status createFolder(const std::string& path) override { return files_.createFolder(path); }
  Status remove(const std::string& path) override { return files_.remove(path); }

 private:
  bool isInput(const std::string& path) const {
    for (const std::string& input : inputs_) {
      if (!input.empty() && files_.sameFile(path, input)) return true;
    }
    return false;
  }
  static Status refused() {
    return Status::failure(Status::Code::CreateFailed, "It is an input file of this run.");
  }

  FileSystem& files_;
  std::vector<std::string> inputs_;
};

DemuxOutputs::DemuxOutputs(RunState& state, const RunSettings& settings, RunHost& host,
                           std::vector<std::string> inputs)
    : state_(state),
      settings_(settings),
      host_(host),
      files_(std::make_unique<GuardedFiles>(*settings.files, std::move(inputs))) {}

DemuxOutputs::~DemuxOutputs() {
  finishAll();
}

uint32_t DemuxOutputs::recordOrigin() const {
  // Without a detailed report no PTS lowered it: the times count from the largest value, as
  // they always have.
  return state_.results.firstPtsMin.value_or(0xFFFFFFFF);
}

bool DemuxOutputs::openRaw(Slot slot, const std::string& path, bool supRecords) {
  std::unique_ptr<ByteSink> sink;
  if (const Status created = files_->create(path, &sink); !created.ok()) {
    reportFailure(path, created, host_);
    return false;
  }
  host_.log("Creating " + escapeMarkup(path));
  std::unique_ptr<StreamOutput> output;
  if (supRecords) {
    output = std::make_unique<SupRecordOutput>(std::move(sink), recordOrigin());
  } else {
    output = std::make_unique<RawOutput>(std::move(sink));
  }
  sinks_.outputOf(slot) = output.get();
  outputs_.emplace_back(slot, std::move(output));
  return true;
}

std::string DemuxOutputs::basePath(Slot slot, const std::string& prefix, const std::string& label,
                                   FileForm form) const {
  std::string name = label;
  if (settings_.delayNames && slot.family != Family::Video) {
    if (const std::optional<int32_t> delay = fileDelayMs(state_, slot, form))
      name += " DELAY " + std::to_string(*delay) + "ms";
  }
  return streamBaseName(prefix, name);
}

bool DemuxOutputs::open(Slot slot, const std::string& prefix, const std::string& label) {
  const StreamKindInfo* kind = foundKind(state_, slot);
  const bool subpicture = slot.family == Family::Subpicture;
  const std::string rawPath =
      basePath(slot, prefix, label, subpicture ? FileForm::SupRecords : FileForm::Raw) + "." +
      cleanNamePart(rawExtension(kind, slot.family, settings_));
  std::unique_ptr<StreamOutput> output;
  if (isLpcm(kind) && settings_.lpcmForm != LpcmForm::Raw) {
    output = makePcmOutput(
        *files_, host_,
        {basePath(slot, prefix, label,
                  settings_.lpcmForm == LpcmForm::Flac ? FileForm::Flac : FileForm::Wav),
         settings_.lpcmForm == LpcmForm::Flac ? PcmForm::Flac : PcmForm::Wav, rawPath,
         isAudioObject(state_.sourcePath)});
  } else if (!subpicture || settings_.subpictureForm == SubpictureForm::SupRecords) {
    return openRaw(slot, rawPath, subpicture);
  } else if (settings_.subpictureForm == SubpictureForm::VobSub) {
    const auto size = videoSize(state_);
    VobSubRequest request;
    request.path = basePath(slot, prefix, label, FileForm::VobSubIndex);
    request.streamNumber = slot.index;
    const TitleStream* described =
        titleStreamFor(settings_.title ? &*settings_.title : nullptr, slot.family, slot.index,
                       state_.results.details(slot.family, slot.index).id);
    request.language = described != nullptr ? described->language : "";
    request.width = size ? size->first : 0;
    request.height = size ? size->second : 0;
    if (settings_.title) request.palette = settings_.title->palette;
    request.videoStartPts = state_.results.videoTimes[0].firstPts;
    request.supPath = rawPath;
    request.firstPtsMin = recordOrigin();
    output = makeVobSubOutput(*files_, host_, request);
  } else {
    const bool hd = isHdDvdSource(settings_);
    const auto size = videoSize(state_).value_or(hd ? std::pair(kHdWidth, kHdHeight)
                                                    : std::pair(kDvdWidth, kDvdHeight));
    PgsRequest request;
    request.path = basePath(slot, prefix, label, FileForm::Pgs) + ".sup";
    request.videoWidth = size.first;
    request.videoHeight = size.second;
    if (settings_.title) request.palette = settings_.title->palette;
    request.videoStartPts =
        state_.results.videoTimes[0].firstPts.value_or(state_.results.firstPtsMin.value_or(0));
    if (const Status created = makePgsOutput(*files_, host_, request, &output); !created.ok()) {
      reportFailure(request.path, created, host_);
      return false;
    }
    host_.log("Creating " + escapeMarkup(request.path));
  }
  sinks_.outputOf(slot) = output.get();
  outputs_.emplace_back(slot, std::move(output));
  return true;
}

const StreamOutput* DemuxOutputs::finishAll() {
  const StreamOutput* failedOutput = sinks_.failedOutput;
  for (auto& [slot, output] : outputs_) {
    sinks_.outputOf(slot) = nullptr;
    if (!output->finish().ok() && failedOutput == nullptr) failedOutput = output.get();
    state_.written.streams[static_cast<size_t>(slotNumber(slot))] = output->files();
  }
  return failedOutput;
}

}  // namespace korvell
