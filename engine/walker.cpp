#include "engine/walker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "engine/read_buffer.h"
#include "engine/walker_internal.h"
#include "report/text_format.h"

namespace korvell {

namespace {

// The substream bytes read before an audio substream's kind decides the rest of its header.
constexpr int kSubstreamHeaderRead = 4;

// A PTS or DTS field: 33 bits spread over five bytes with marker bits; bit 32 is dropped.
uint32_t decodeStamp(uint64_t bytes) {
  const auto b = [bytes](int i) { return static_cast<uint32_t>(bytes >> (8 * (4 - i))) & 0xFF; };
  return ((b(0) & 0x06) << 29) | (b(1) << 22) | ((b(2) & 0xFE) << 14) | (b(3) << 7) |
         ((b(4) & 0xFE) >> 1);
}

}  // namespace

namespace {

double remainingSeconds(uint64_t position, uint64_t size, double elapsedSeconds) {
  return position == 0
             ? 0
             : elapsedSeconds * static_cast<double>(size) / static_cast<double>(position) -
                   elapsedSeconds + 1.0;
}

}  // namespace

std::string progressText(uint64_t position, uint64_t size, double elapsedSeconds) {
  return std::to_string(wholeMebibytes(position)) + "/" + std::to_string(wholeMebibytes(size)) +
         " Mbytes, Remaining time: " +
         clockText(remainingSeconds(position, size, elapsedSeconds), false);
}

void showProgress(RunHost& host, const std::string& prefix, uint64_t position, uint64_t size,
                  double elapsedSeconds) {
  host.status(prefix + progressText(position, size, elapsedSeconds), 1);
  const uint64_t percent = size == 0 ? 100 : std::min<uint64_t>(100, position * 100 / size);
  host.progress(static_cast<int>(percent), remainingSeconds(position, size, elapsedSeconds));
}

Walker::Walker(const WalkerPass& pass, RunHost& host, WalkMode mode)
    : pass_(pass),
      host_(host),
      mode_(mode),
      file_(mode == WalkMode::Scan && !pass.results.scannedFiles.empty()
                ? &pass.results.scannedFiles.back()
                : nullptr),
      aobSource_(pass.audioObject) {}

void Walker::walkBlock(const uint8_t* block, size_t n) {
  size_t i = 0;
  while (i < n) {
    if (inPayload_) {
      // The piece goes on as a span; only its first byte enters the start-code register.
      sync_ = (sync_ << 8) | block[i];
      const size_t length = std::min(static_cast<size_t>(remaining_), n - i);
      payloadPiece(block, i, length);
      remaining_ -= static_cast<int32_t>(length);
      i += length;
      if (remaining_ == 0) inPayload_ = false;
    } else if (skip_ > 0) {
      // Discarded bytes still pass through the register; the last four are what it keeps.
      const size_t length = std::min(static_cast<size_t>(skip_), n - i);
      for (size_t k = length > 4 ? length - 4 : 0; k < length; ++k) {
        sync_ = (sync_ << 8) | block[i + k];
      }
      skip_ -= static_cast<int32_t>(length);
      remaining_ -= static_cast<int32_t>(length);
      i += length;
    } else if (const size_t next = searching() ? nextCandidate(block, i, n) : i; next > i) {
      // Between packets only a start code can change anything: move to the first byte
      // that could complete one, passing the bytes before it through the register.
      for (size_t k = next - i > 4 ? next - 4 : i; k < next; ++k)
        sync_ = (sync_ << 8) | block[k];
      i = next;
    } else {
      step(block[i]);
      ++i;
    }
  }
}

size_t Walker::nextCandidate(const uint8_t* block, size_t i, size_t n) const {
  // Every start code the walker knows begins 00 00 01, so the first byte that can complete
  // one follows those three. The bytes before i are the low bytes of the register.
  if ((sync_ & 0xFFFFFF) == 0x000001) return i;
  const auto byteBefore = [&](size_t index, size_t back) -> uint32_t {
    if (index >= i + back) return block[index - back];
    return (sync_ >> (8 * (back - (index - i) - 1))) & 0xFF;
  };
  for (size_t k = i; k < n; ++k) {
    const auto* one = static_cast<const uint8_t*>(std::memchr(block + k, 0x01, n - k));
    if (one == nullptr) return n;
    k = static_cast<size_t>(one - block);
    if (byteBefore(k, 1) == 0 && byteBefore(k, 2) == 0) return k + 1;
  }
  return n;
}

void Walker::step(uint8_t byte) {
  sync_ = (sync_ << 8) | byte;
  if (ps2Bytes_ > 0) {
    ps2Bytes_ = 0;
    --remaining_;
    if (byte == 1 && firstDsi_) {
      dsiBytes_ = 52;
    } else {
      skip_ = remaining_;
    }
  } else if (dsiBytes_ > 0) {
    --remaining_;
    --dsiBytes_;
    navigationByte();
  } else if (fixedBytes_ > 0) {
    --remaining_;
    --fixedBytes_;
    // '10', then PES_scrambling_control: 00 is clear, anything else scrambled.
    if (fixedBytes_ == 2) packetScrambled_ = (byte & 0xC0) == 0x80 && (byte & 0x30) != 0;
    if (fixedBytes_ == 1) flags2_ = byte;
    if (fixedBytes_ == 0) {
      headerLeft_ = byte;
      if ((flags2_ & 0xC0) == 0x80) {
        ptsBytes_ = 5;
      } else if ((flags2_ & 0xC0) == 0xC0) {
        ptsDtsBytes_ = 10;
      } else if ((flags2_ & 0xC1) == 0x01) {
        extBytes_ = 1;
      }
      if (headerLeft_ == 0) endHeader();
    }
  } else if (ptsBytes_ > 0 || ptsDtsBytes_ > 0) {
    ptsByte(byte);
  } else if (extBytes_ > 0 || pstdBytes_ > 0 || ext2Bytes_ > 0) {
    extensionByte(byte);
  } else if (headerLeft_ > 0) {
    --remaining_;
    if (--headerLeft_ == 0) endHeader();
  } else if (subHeaderBytes_ > 0) {
    substreamByte(byte);
  } else if (privateHeaderLeft_ > 0) {
    --remaining_;
    if (aobHeaderKept_ < aobHeader_.size()) aobHeader_[aobHeaderKept_++] = byte;
    if (--privateHeaderLeft_ == 0) startPayload(kRouteAudio);
  } else {
    classifyStartCode();
  }
}

void Walker::classifyStartCode() {
  Route route = kRouteNone;
  if ((sync_ >> 8) == 0x000001) {
    const auto streamId = static_cast<uint8_t>(sync_);
    const StreamKindInfo* kind = findKind(IdSpace::StreamId, streamId);
    if (kind != nullptr && kind->family == Family::Video) {
      route = registerVideo(*kind, streamId) ? kRouteVideo : kRouteSkip;
    } else if (kind != nullptr) {
      route = kRouteMpegAudio;  // never registered
    } else if (streamId == kExtendedStreamId) {
      // VC-1 unless the stream_id_extension says otherwise (extensionByte).
      videoKind_ = kindOfCodec(Codec::Vc1);
      route = kRouteVideo;
    } else if (streamId == kProgramStreamMap || streamId == kPadding) {
      route = kRouteSkipPacket;
    } else if (streamId == kPrivateStream1) {
      route = kRoutePrivate1;
    } else if (streamId == kPrivateStream2) {
      route = kRoutePrivate2;
    }
  }
  if (route != kRouteNone) {
    route_ = route;
    streamId_ = static_cast<uint8_t>(sync_);
    packetHasPts_ = false;
    packetScrambled_ = false;
    lengthBytes_ = 2;
    return;
  }
  if (lengthBytes_ == 0) return;
  if (--lengthBytes_ > 0) return;
  remaining_ = static_cast<int32_t>(sync_ & 0xFFFF);
  if (route_ == kRoutePrivate2) {
    ps2Bytes_ = 1;
  } else if (route_ == kRouteSkipPacket) {
    skip_ = remaining_;
  } else {
    fixedBytes_ = 3;
  }
}

void Walker::ptsByte(uint8_t byte) {
  --remaining_;
  --headerLeft_;
  stampBytes_ = (stampBytes_ << 8) | byte;
  int& counter = ptsBytes_ > 0 ? ptsBytes_ : ptsDtsBytes_;
  --counter;
  const bool withDts = &counter == &ptsDtsBytes_;
  if (counter == (withDts ? 5 : 0)) {
    pts_ = decodeStamp(stampBytes_);
    packetHasPts_ = true;
    packetPts_ = pts_;
    if (withDts) videoPts_ = pts_;
  } else if (withDts && counter == 0) {
    dts_ = decodeStamp(stampBytes_);
  }
  if (counter > 0) return;
  if (headerLeft_ == 0) {
    endHeader();
  } else if (route_ == kRouteVideo && (flags2_ & 0x01) != 0) {
    extBytes_ = 1;
  }
}

void Walker::extensionByte(uint8_t byte) {
  --remaining_;
  --headerLeft_;
  if (extBytes_ > 0) {
    extBytes_ = 0;
    extFlags_ = byte;
    if ((extFlags_ & 0x10) != 0) {
      pstdBytes_ = 2;
    } else if ((extFlags_ & 0x01) != 0) {
      ext2Bytes_ = 2;
    } else if (headerLeft_ == 0) {
      endHeader();
    }
  } else if (pstdBytes_ > 0) {
    if (--pstdBytes_ > 0) return;
    if ((extFlags_ & 0x01) != 0) {
      ext2Bytes_ = 2;
    } else if (headerLeft_ == 0) {
      endHeader();
    }
  } else if (--ext2Bytes_ == 0) {
    // Only the extended stream id packet names its stream in the second extension byte.
    if (streamId_ == kExtendedStreamId) {
      const auto extension = static_cast<uint8_t>(byte & 0x7F);
      const StreamKindInfo* kind = findKind(IdSpace::Extension, extension);
      if (kind == nullptr || !registerVideo(*kind, extension)) route_ = kRouteSkip;
    }
    if (headerLeft_ == 0) endHeader();
  }
}

void Walker::endHeader() {
  if (route_ == kRoutePrivate1) {
    subHeaderBytes_ = 4;
  } else {
    startPayload(route_);
  }
}

void Walker::startPayload(Route route) {
  route_ = route;
  inPayload_ = remaining_ > 0;
  packetFirstPiece_ = true;
}

void Walker::substreamByte(uint8_t byte) {
  --remaining_;
  --subHeaderBytes_;
  if (subHeaderBytes_ == 3) {
    // A subpicture's payload follows its substream byte at once.
    const StreamKindInfo* kind = findKind(IdSpace::Substream, byte, aobSource_);
    if (kind != nullptr && kind->family == Family::Subpicture) {
      subHeaderBytes_ = 0;
      if (registerSubpicture(*kind, byte)) {
        startPayload(kRouteSubpicture);
      } else {
        route_ = kRouteSkip;
        inPayload_ = remaining_ > 0;
      }
    }
    return;
  }
  if (subHeaderBytes_ > 0) return;
  const auto id = static_cast<uint8_t>(sync_ >> 24);
  const StreamKindInfo* kind = findKind(IdSpace::Substream, id, aobSource_);
  if (kind == nullptr || kind->family != Family::Audio || !registerAudio(*kind, id)) {
    route_ = kRouteSkip;
    inPayload_ = remaining_ > 0;
    return;
  }
  pts_ = 0;
  aobHeaderKept_ = 0;
  // Four header bytes are read; a header that gives its own length (DVD-Audio: id, continuity
  // counter, a 16-bit length N, then N bytes) ends 4 + N bytes after the id.
  const int headerLeft = kind->headerBytes == 0 ? static_cast<int>(sync_ & 0xFFFF)
                                                : kind->headerBytes - kSubstreamHeaderRead;
  if (headerLeft == 0) {
    startPayload(kRouteAudio);
  } else if (headerLeft >= remaining_) {
    // A header that fills or overruns its packet leaves no payload.
    route_ = kRouteSkip;
    skip_ = remaining_;
  } else {
    privateHeaderLeft_ = headerLeft;
  }
}

void Walker::navigationByte() {
  if (dsiBytes_ == 24) {
    // Bytes 24 and 25 of the navigation data: the upper half of the last four read.
    if (file_ != nullptr && !file_->navigation) {
      file_->navigation = NavigationValues{sync_ >> 16, 0, 0, std::nullopt};
    }
    host_.log("VOB number = " + std::to_string(sync_ >> 16));
  } else if (dsiBytes_ == 4) {
    firstPtm_ = sync_;
    if (file_ != nullptr && file_->navigation) file_->navigation->firstPtm = firstPtm_;
    host_.log("PTM of first video frame = [re]" + hexText(firstPtm_, 8) + "[/re]");
  } else if (dsiBytes_ == 0) {
    const uint32_t lastPtm = sync_;
    host_.log("PTM of last video frame = " + hexText(lastPtm, 8));
    pass_.results.duration = static_cast<double>(lastPtm - firstPtm_) / 90000.0;
    if (file_ != nullptr && file_->navigation && !file_->navigation->durationSeconds) {
      file_->navigation->lastPtm = lastPtm;
      file_->navigation->durationSeconds = pass_.results.duration;
    }
    host_.log("Duration = [b]" + clockText(pass_.results.duration, true) + "[/b]");
    firstDsi_ = false;
    skip_ = remaining_;
  }
}

void Walker::payloadPiece(const uint8_t* block, size_t start, size_t length) {
  // MPEG audio is never registered and has no slot of its own: its payload is dropped.
  if (route_ != kRouteVideo && route_ != kRouteAudio && route_ != kRouteSubpicture) return;
  if (route_ == kRouteVideo && (videoIndex_ < 0 || videoIndex_ >= kVideoSlots)) return;
  if (packetScrambled_) {
    scrambledPiece();
    return;
  }
  const uint8_t* piece = block + start;
  if (route_ == kRouteVideo && pass_.options.CountFrames) countFrames(piece, length);
  if (mode_ == WalkMode::Scan) {
    if (packetHasPts_) recordLastPts();
    firstPiece(block, start, length);
  } else {
    writePiece(piece, length);
  }
}

Status demux(const WalkerPass& pass, RunHost& host, WalkMode mode) {
  pass.stop.clear();
  if (pass.sinks != nullptr) pass.sinks->failedOutput = nullptr;
  host.setCancelEnabled(true);
  pass.registry.reset();
  const auto started = std::chrono::steady_clock::now();

  Walker walker(pass, host, mode);
  ReadBuffer buffer;
  ByteSource& source = pass.source;
  const uint64_t size = source.size();
  const uint64_t startPosition = source.position();
  Status read;
  size_t n = 0;
  while (source.position() < size && !pass.stop.requested()) {
    buffer.keepTail(n);
    read = source.read(buffer.block(), kReadBlock, n);
    if (n == 0) break;  // an error, or a file that shrank under us
    buffer.clearAfter(n);
    const uint64_t position = source.position();
    if (position % kProgressInterval == 0) {
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
      showProgress(host, "", position, size, elapsed.count());
      host.processEvents();
    }
    if (mode == WalkMode::Scan && pass.options.FastCheck && position > kFastCheckLimit) {
      pass.stop.request(StopReason::FastCheckLimit);
    }
    if (position % kRepaintInterval == 0) host.repaint();
    if (mode == WalkMode::Scan && startPosition == 0 && position == kReadBlock) {
      walker.reportSystemHeader(buffer.block());
    }
    walker.walkBlock(buffer.block(), n);
  }
  if (pass.stop.requested()) pass.results.frameCount.fill(0);
  host.setCancelEnabled(false);
  return read;
}

}  // namespace korvell
