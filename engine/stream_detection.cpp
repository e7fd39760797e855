// Registration of streams, the scan report and the frame counter.
#include <algorithm>
#include <string>

#include "engine/analyser_dispatch.h"
#include "engine/frame_counter.h"
#include "engine/walker_internal.h"
#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

namespace {

void reportFound(RunHost& host, const StreamKindInfo& kind, int slot) {
  host.log(std::string(kind.foundPrefix) + std::to_string(slot) + " found!");
}

// An analyser's console and field sink: each line goes on to the host and is kept, with each
// named value, in the stream's details.
class DetailRecorder final : public Console, public FieldSink {
 public:
  DetailRecorder(Console& host, StreamDetails& details) : host_(host), details_(details) {}
  void log(std::string_view message) override {
    host_.log(message);
    details_.lines.emplace_back(message);
  }
  void status(std::string_view text, int panel) override { host_.status(text, panel); }
  void integerField(std::string_view name, int64_t value) override { details_.set(name, value); }
  void realField(std::string_view name, double value) override { details_.set(name, value); }
  void textField(std::string_view name, std::string_view value) override {
    details_.set(name, std::string(value));
  }

 private:
  Console& host_;
  StreamDetails& details_;
};

}  // namespace

void Walker::registerVideo(int32_t id) {
  int32_t& entry = state_.videoIds[videoIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) reportFound(host_, *videoKind_, videoIndex_);
  // H.264 leaves its first-PTS register to the packets that carry a DTS.
  if (videoKind_->codec != Codec::H264) videoPts_ = pts_;
}

void Walker::registerAudio(uint8_t id) {
  int32_t& entry = state_.audioIds[audioIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) reportFound(host_, *audioKind_, audioIndex_);
  audioPts_ = pts_;
}

void Walker::registerSubpicture(uint8_t id) {
  int32_t& entry = state_.subIds[subIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) reportFound(host_, *subKind_, subIndex_);
  subPts_ = pts_;
  if (mode_ == WalkMode::Scan) pts_ = 0;
}

void Walker::reportSystemHeader(const uint8_t* block) {
  // A system header right after the 14-byte pack header: its bounds are bytes 23 and 24.
  if (block[16] != 0x01 || block[17] != 0xBB) return;
  const int videoBound = block[24] & 0x1F;
  const int audioBound = block[23] >> 2;
  if (file_ != nullptr) file_->systemHeader = SystemHeaderBounds{videoBound, audioBound};
  host_.log("It contains " + std::to_string(videoBound) + " video stream" +
            (videoBound > 1 ? "s" : "") + " and " + std::to_string(audioBound) + " audio stream" +
            (audioBound > 1 ? "s." : "."));
}

void Walker::countFrames(const uint8_t* piece, size_t length) {
  if (mode_ == WalkMode::Demux && !state_.isSelected({Family::Video, videoIndex_})) return;
  state_.frameCount[videoIndex_] += static_cast<int32_t>(
      countStartCodes(piece, length, videoKind_->frameCode, frameCarry_[videoIndex_]));
}

Slot Walker::currentSlot() const {
  switch (route_) {
    case kRouteVideo:
      return {Family::Video, videoIndex_};
    case kRouteAudio:
      return {Family::Audio, audioIndex_};
    default:
      return {Family::Subpicture, subIndex_};
  }
}

void Walker::recordLastPts() {
  const Slot slot = currentSlot();
  state_.times(slot.family, slot.index).lastPts = packetPts_;
}

void Walker::firstPiece(const uint8_t* block, size_t start, size_t length) {
  bool* shown = nullptr;
  uint32_t firstPts = 0;
  int id = 0;
  const StreamKindInfo* kind = nullptr;
  int slot = 0;
  switch (route_) {
    case kRouteVideo:
      slot = videoIndex_;
      shown = &state_.videoShown[slot];
      firstPts = videoPts_;
      id = videoSub_;
      kind = videoKind_;
      break;
    case kRouteAudio:
      slot = audioIndex_;
      shown = &state_.audioShown[slot];
      firstPts = audioPts_;
      id = audioSub_;
      kind = audioKind_;
      break;
    default:
      slot = subIndex_;
      shown = &state_.subShown[slot];
      firstPts = subPts_;
      id = subSub_;
      kind = subKind_;
      break;
  }
  if (*shown) return;
  *shown = true;
  // The first file of a set that has the stream gives its first PTS.
  std::optional<uint32_t>& recorded = state_.times(currentSlot().family, slot).firstPts;
  if (!recorded) recorded = firstPts;
  // The earliest audio or video PTS is what the demux rebases subpicture times on, so it is
  // taken whether or not the details are shown.
  if (route_ != kRouteSubpicture) state_.firstPtsMin = std::min(state_.firstPtsMin, firstPts);
  StreamDetails& details = state_.details(currentSlot().family, slot);
  if (details.id == -1) details.id = id;
  if (!state_.Details) return;
  host_.log("   First PTS = [re]" + hexText(firstPts, 8) + "[/re]");
  host_.log("   Substream id = " + hexText(static_cast<uint32_t>(id), 2));
  AnalyserCall call{{block, start, length},
                    route_ == kRouteVideo ? videoPts_ : pts_,
                    dts_,
                    slot,
                    {aobHeader_.data(), aobHeaderKept_}};
  // The first file of a set that has the stream gives its details too.
  if (details.recorded) {
    analyse(kind->analyser, call, host_, state_);
    return;
  }
  details.recorded = true;
  DetailRecorder recorder(host_, details);
  analyse(kind->analyser, call, recorder, state_, &recorder);
}

}  // namespace korvell
