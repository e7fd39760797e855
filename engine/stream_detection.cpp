// Registration of streams, the scan report and the frame counter.
#include <algorithm>
#include <span>
#include <string>

#include "analysis/dispatch.h"
#include "engine/frame_counter.h"
#include "engine/walker_internal.h"
#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

namespace {}  // namespace

int Walker::claimSlot(Family family, const StreamKindInfo& kind, uint8_t id) {
  const auto f = static_cast<size_t>(family);
  int8_t& known = slotOfId_[f][id];
  if (known != kSlotUnknown) return known;
  StreamRegistry& ids = pass_.registry;
  std::span<int32_t> registry = family == Family::Video   ? std::span<int32_t>(ids.videoIds)
                                : family == Family::Audio ? std::span<int32_t>(ids.audioIds)
                                                          : std::span<int32_t>(ids.subIds);
  // Video uses two of its sixteen entries; subpictures fill their sixteen selectable slots
  // before the rest.
  const int used = family == Family::Video ? kVideoSlots : static_cast<int>(registry.size());
  const int selectable = family == Family::Subpicture ? kSubSlots : used;
  const int natural = slotOf(kind, id);
  // The first claimer keeps its slot; a later identifier that falls into a held slot takes
  // the next free one of its family (within the selectable slots first, from its own on),
  // so no two streams ever share a slot's output.
  const auto firstFree = [&](int from, int to) {  // the first free slot in [from, to)
    for (int candidate = from; candidate < to; ++candidate)
      if (registry[candidate] == -1) return candidate;
    return -1;
  };
  int slot = natural < used && registry[natural] == -1 ? natural : -1;
  if (slot < 0 && natural < selectable) {
    slot = firstFree(natural + 1, selectable);
    if (slot < 0) slot = firstFree(0, natural);
    if (slot < 0) slot = firstFree(selectable, used);
  } else if (slot < 0) {
    slot = firstFree(natural + 1, used);
    if (slot < 0) slot = firstFree(selectable, natural);
  }
  known = static_cast<int8_t>(slot < 0 ? kSlotNone : slot);
  if (slot < 0) return kSlotNone;
  registry[slot] = id;
  if (mode_ == WalkMode::Scan) {
    host_.log(std::string(kind.foundPrefix) + std::to_string(slot) + " found!");
  }
  newlyRegistered_ = true;
  return slot;
}

bool Walker::registerVideo(const StreamKindInfo& kind, uint8_t id) {
  newlyRegistered_ = false;
  const int slot = claimSlot(Family::Video, kind, id);
  if (slot < 0) return false;
  videoKind_ = &kind;
  videoIndex_ = slot;
  videoSub_ = id;
  // H.264 leaves its first-PTS register to the packets that carry a DTS.
  if (newlyRegistered_ && kind.codec != Codec::H264) videoPts_ = pts_;
  return true;
}

bool Walker::registerAudio(const StreamKindInfo& kind, uint8_t id) {
  newlyRegistered_ = false;
  const int slot = claimSlot(Family::Audio, kind, id);
  if (slot < 0) return false;
  audioKind_ = &kind;
  audioIndex_ = slot;
  audioSub_ = id;
  if (newlyRegistered_) audioPts_ = pts_;
  return true;
}

bool Walker::registerSubpicture(const StreamKindInfo& kind, uint8_t id) {
  newlyRegistered_ = false;
  const int slot = claimSlot(Family::Subpicture, kind, id);
  if (slot < 0) return false;
  subKind_ = &kind;
  subIndex_ = slot;
  subSub_ = id;
  if (newlyRegistered_) {
    subPts_ = pts_;
    if (mode_ == WalkMode::Scan) pts_ = 0;
  }
  return true;
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
  if (mode_ == WalkMode::Demux && !pass_.selection.isSelected({Family::Video, videoIndex_})) return;
  pass_.results.frameCount[videoIndex_] += static_cast<int32_t>(
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
  pass_.results.times(slot.family, slot.index).lastPts = packetPts_;
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
      shown = &pass_.registry.videoShown[slot];
      firstPts = videoPts_;
      id = videoSub_;
      kind = videoKind_;
      break;
    case kRouteAudio:
      slot = audioIndex_;
      shown = &pass_.registry.audioShown[slot];
      firstPts = audioPts_;
      id = audioSub_;
      kind = audioKind_;
      break;
    default:
      slot = subIndex_;
      shown = &pass_.registry.subShown[slot];
      firstPts = subPts_;
      id = subSub_;
      kind = subKind_;
      break;
  }
  if (*shown) return;
  *shown = true;
  // The first file of a set that has the stream gives its first PTS.
  std::optional<uint32_t>& recorded = pass_.results.times(currentSlot().family, slot).firstPts;
  if (!recorded) recorded = firstPts;
  // The earliest audio or video PTS is what the demux rebases subpicture times on, so it is
  // taken whether or not the details are shown.
  std::optional<uint32_t>& earliest = pass_.results.firstPtsMin;
  if (route_ != kRouteSubpicture && (!earliest || firstPts < *earliest)) earliest = firstPts;
  StreamDetails& details = pass_.results.details(currentSlot().family, slot);
  if (details.id == -1) details.id = id;
  if (!pass_.options.Details) return;
  host_.log("   First PTS = [re]" + hexText(firstPts, 8) + "[/re]");
  host_.log("   Substream id = " + hexText(static_cast<uint32_t>(id), 2));
  const AnalyserCall call{{block, start, length},
                          route_ == kRouteVideo ? videoPts_ : pts_,
                          dts_,
                          slot,
                          {aobHeader_.data(), aobHeaderKept_}};
  const AnalyserFindings found = analyse(kind->analyser, call, pass_.options.decimalSeparator);
  for (const std::string& line : found.lines)
    host_.log(line);
  // Only the selectable video slots keep a frame rate.
  if (found.frameRate && route_ == kRouteVideo && slot < kVideoSlots) {
    pass_.results.frameRate[slot] = *found.frameRate;
  }
  // The first file of a set that has the stream gives its details.
  if (details.recorded) return;
  details.recorded = true;
  details.lines = found.lines;
  for (const AnalyserField& field : found.fields)
    details.set(field.name, field.value);
}

}  // namespace korvell
