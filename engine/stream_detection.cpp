// Registration of streams, the scan report and the frame counter.
#include <algorithm>
#include <string>

#include "engine/analyser_dispatch.h"
#include "engine/frame_counter.h"
#include "engine/walker_internal.h"
#include "report/text_format.h"

namespace korvell {

namespace {

void reportFound(RunHost& host, const char* prefix, int slot) {
  host.log(std::string(prefix) + std::to_string(slot) + " found!");
}

const char* audioPrefix(uint8_t id, bool aobSource) {
  if (id >= 0x80 && id <= 0x87) return "[b]Dolby Digital[/b] audio stream ";
  if (id >= 0x88 && id <= 0x8F) return "[b]DTS HD (DTS)[/b] audio stream ";
  if (id >= 0xC0 && id <= 0xCF) return "[b]Dolby Digital[/b] Plus audio stream ";
  if (id >= 0xB0 && id <= 0xB7) return "[b]Dolby TrueHD[/b] audio stream ";
  // DVD-Audio carries MLP as substream 0xA1 of an .AOB file.
  return id == 0xA1 && aobSource ? "[b]MLP[/b] audio stream " : "[b]LPCM[/b] audio stream ";
}

// The frame start code of each video kind: picture start, access unit delimiter, frame.
constexpr uint8_t kFrameCode[] = {0x00, 0x09, 0x0D};

}  // namespace

void Walker::registerVideo(int32_t id) {
  int32_t& entry = state_.videoIds[videoIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) {
    const char* prefix = videoKind_ == VideoKind::Mpeg2  ? "[b]MPEG-2[/b] video stream "
                         : videoKind_ == VideoKind::H264 ? "[b]H.264 (AVC)[/b] video stream "
                                                         : "[b]VC-1[/b] video stream ";
    reportFound(host_, prefix, videoIndex_);
  }
  if (videoKind_ != VideoKind::H264) videoPts_ = pts_;
}

void Walker::registerAudio(uint8_t id) {
  int32_t& entry = state_.audioIds[audioIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) reportFound(host_, audioPrefix(id, aobSource_), audioIndex_);
  audioPts_ = pts_;
}

void Walker::registerSubpicture(uint8_t id) {
  int32_t& entry = state_.subIds[subIndex_];
  if (entry != -1) return;
  entry = id;
  if (mode_ == WalkMode::Scan) {
    reportFound(
        host_,
        (id & 0xE0) == 0x60 ? "[b]Extended subpicture[/b] stream " : "[b]Subpicture[/b] stream ",
        subIndex_);
  }
  subPts_ = pts_;
  if (mode_ == WalkMode::Scan) pts_ = 0;
}

void Walker::reportSystemHeader(const uint8_t* block) {
  // A system header right after the 14-byte pack header: its bounds are bytes 23 and 24.
  if (block[16] != 0x01 || block[17] != 0xBB) return;
  const int videoBound = block[24] & 0x1F;
  const int audioBound = block[23] >> 2;
  host_.log("It contains " + std::to_string(videoBound) + " video stream" +
            (videoBound > 1 ? "s" : "") + " and " + std::to_string(audioBound) + " audio stream" +
            (audioBound > 1 ? "s." : "."));
}

void Walker::countFrames(const uint8_t* piece, size_t length) {
  if (mode_ == WalkMode::Demux && !state_.isSelected({Family::Video, videoIndex_})) return;
  state_.frameCount[videoIndex_] += static_cast<int32_t>(countStartCodes(
      piece, length, kFrameCode[static_cast<int>(videoKind_)], frameCarry_[videoIndex_]));
}

void Walker::firstPiece(const uint8_t* block, size_t start, size_t length) {
  bool* shown = nullptr;
  uint32_t firstPts = 0;
  int id = 0;
  StreamKind kind = StreamKind::Subpicture;
  int slot = 0;
  switch (route_) {
    case kRouteVideo:
      slot = videoIndex_;
      shown = &state_.videoShown[slot];
      firstPts = videoPts_;
      id = videoSub_;
      kind = videoKind_ == VideoKind::Mpeg2  ? StreamKind::Mpeg2
             : videoKind_ == VideoKind::H264 ? StreamKind::H264
                                             : StreamKind::Vc1;
      break;
    case kRouteAudio: {
      slot = audioIndex_;
      shown = &state_.audioShown[slot];
      firstPts = audioPts_;
      id = audioSub_;
      constexpr StreamKind kinds[] = {StreamKind::Ac3, StreamKind::Eac3, StreamKind::Dts,
                                      StreamKind::Lpcm, StreamKind::TrueHd};
      kind = kinds[static_cast<int>(audioKind_)];
      // DVD-Audio carries MLP as substream 0xA1 and LPCM with a header of its own.
      if (kind == StreamKind::Lpcm && aobSource_) {
        kind = audioSub_ == 0xA1 ? StreamKind::Mlp : StreamKind::AobLpcm;
      }
      break;
    }
    default:
      slot = subIndex_;
      shown = &state_.subShown[slot];
      firstPts = subPts_;
      id = subSub_;
      break;
  }
  if (*shown) return;
  *shown = true;
  // The earliest audio or video PTS is what the demux rebases subpicture times on, so it is
  // taken whether or not the details are shown.
  if (route_ != kRouteSubpicture) state_.firstPtsMin = std::min(state_.firstPtsMin, firstPts);
  if (!state_.Details) return;
  host_.log("   First PTS = [re]" + hexText(firstPts, 8) + "[/re]");
  host_.log("   Substream id = " + hexText(static_cast<uint32_t>(id), 2));
  AnalyserCall call{{block, start, length},
                    route_ == kRouteVideo ? videoPts_ : pts_,
                    dts_,
                    slot,
                    {aobHeader_.data(), aobHeaderKept_}};
  analyse(kind, call, host_, state_);
}

}  // namespace korvell
