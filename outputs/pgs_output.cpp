#include "outputs/pgs_output.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "outputs/pgs_encoder.h"
#include "outputs/subpicture_decoder.h"
#include "outputs/subpicture_units.h"
#include "report/text_format.h"

namespace korvell {

namespace {

// Faults after which an event is still written, cut: its picture or its time is incomplete.
constexpr uint32_t kCutFaults = kFaultLineOverrun | kFaultShortPixels | kFaultNoStop;

class PgsOutput final : public StreamOutput {
 public:
  PgsOutput(std::unique_ptr<ByteSink> sink, Console& console, const PgsRequest& request)
      : sink_(std::move(sink)),
        console_(console),
        path_(request.path),
        palette_(request.palette ? *request.palette : paletteToYcrcb(defaultPalette())),
        videoStart_(request.videoStartPts),
        encoder_(request.videoWidth, request.videoHeight) {}

  Status piece(const uint8_t* data, size_t size, const PieceContext& context) override {
    if (!sink_->status().ok() || finished_) return sink_->status();
    if (!id_) id_ = context.id;
    done_.clear();
    assembler_.piece(data, size, context, done_);
    for (const SubpictureUnit& unit : done_) {
      if (Status s = take(unit); !s.ok()) return s;
    }
    return sink_->status();
  }

  Status finish() override {
    if (finished_) return sink_->status();
    finished_ = true;
    assembler_.finish();
    if (pending_) write(*pending_, std::nullopt);
    pending_.reset();
    const Status closed = sink_->close();
    report();
    return closed;
  }

  std::vector<OutputFile> files() const override { return {{path_, FileForm::Pgs}}; }
  const std::string& failedPath() const override { return path_; }
  const Status& status() const override { return sink_->status(); }

 private:
  // An event waiting for the next one's start, which may end it.
  struct Pending {
    SubpictureEvent event;
    bool damaged;  // its picture or its stop is incomplete
  };

  // One whole unit: its events, each written once the next one's start is known.
  Status take(const SubpictureUnit& unit) {
    DecodedSubpicture decoded = decodeSubpictureUnit(unit.bytes, unit.pts, palette_);
    ++units_;
    if (decoded.events.empty()) ++skipped_;  // nothing in it could be shown
    for (SubpictureEvent& event : decoded.events) {
      const int64_t start = relative(event.startPts);
      if (pending_ && start < relative(pending_->event.startPts)) {
        ++skipped_;  // out of time order: damaged
        continue;
      }
      if (pending_) write(*pending_, start);
      pending_ = Pending{std::move(event), (decoded.faults & kCutFaults) != 0};
    }
    return sink_->status();
  }

  // The event's time on the video's timeline; PTS wrap within 32 bits.
  int64_t relative(uint32_t pts) const { return static_cast<int32_t>(pts - videoStart_); }

  void write(const Pending& pending, std::optional<int64_t> nextStart) {
    const SubpictureEvent& event = pending.event;
    bool cut = pending.damaged;
    int64_t start = relative(event.startPts);
    int64_t stop = event.stopPts ? relative(*event.stopPts) : start + kPgsNoStopDuration;
    // A next event that starts first replaces this one: no display set clears it.
    const bool replaced = nextStart && *nextStart <= stop;
    if (replaced) stop = *nextStart;
    if (start < 0) {
      start = 0;  // shown from before the video's start
      cut = true;
    }
    if (stop <= start) {
      ++skipped_;
      return;
    }
    encoded_.clear();
    const PgsEncodeResult result = encoder_.encode(
        event, static_cast<uint32_t>(start),
        replaced ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(stop)), encoded_);
    if (result == PgsEncodeResult::Skipped) {
      ++skipped_;
      return;
    }
    ++written_;
    if (cut || result == PgsEncodeResult::Cut) ++cut_;
    sink_->write(encoded_.data(), encoded_.size());
  }

  void report() {
    const uint64_t dropped = assembler_.dropped();
    if (skipped_ == 0 && cut_ == 0 && dropped == 0) return;
    std::vector<std::string> parts;
    if (dropped > 0) parts.push_back(std::to_string(dropped) + " damaged units dropped");
    if (skipped_ > 0) parts.push_back(std::to_string(skipped_) + " subpictures skipped");
    if (cut_ > 0) parts.push_back(std::to_string(cut_) + " cut");
    std::string line = "Subpicture stream 0x" + hexText(id_.value_or(0), 2) + " as PGS: ";
    for (size_t i = 0; i < parts.size(); ++i)
      line += (i ? ", " : "") + parts[i];
    line += "; " + std::to_string(written_) + " written from " + std::to_string(units_) + " units.";
    console_.log(line);
  }

  std::unique_ptr<ByteSink> sink_;
  Console& console_;
  std::string path_;
  YcrcbPalette palette_;
  uint32_t videoStart_;
  PgsEncoder encoder_;
  SubpictureUnitAssembler assembler_;
  std::vector<SubpictureUnit> done_;
  std::vector<uint8_t> encoded_;
  std::optional<Pending> pending_;
  std::optional<uint8_t> id_;
  uint64_t units_ = 0;
  uint64_t written_ = 0;
  uint64_t skipped_ = 0;
  uint64_t cut_ = 0;
  bool finished_ = false;
};

}  // namespace

Status makePgsOutput(FileSystem& files, Console& console, const PgsRequest& request,
                     std::unique_ptr<StreamOutput>* output) {
  output->reset();
  std::unique_ptr<ByteSink> sink;
  if (Status created = files.create(request.path, &sink); !created.ok()) return created;
  *output = std::make_unique<PgsOutput>(std::move(sink), console, request);
  return {};
}

}  // namespace korvell
