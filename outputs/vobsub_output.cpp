#include "outputs/vobsub_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "engine/raw_outputs.h"
#include "outputs/subpicture_units.h"
#include "report/ascii_text.h"
#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

namespace {

constexpr size_t kPackHeader = 14;
constexpr size_t kPesHeader = 9;  // start code, stream id, length, flags, header length
constexpr size_t kPtsBytes = 5;
constexpr size_t kSubstreamByte = 1;
constexpr size_t kPaddingHeader = 6;  // start code, stream id, length
constexpr size_t kMaxStuffing = kPaddingHeader - 1;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPaddingStream = 0xBE;
// 10.08 Mbit/s, the DVD's rate, in units of 50 bytes a second.
constexpr uint32_t kMuxRate = 10080000 / 8 / 50;
constexpr uint64_t kStampMask = (uint64_t{1} << 33) - 1;
constexpr int kMaxStream = 31;  // substreams 0x20..0x3F

void appendPackHeader(uint64_t scr, std::vector<uint8_t>& out) {
  scr &= kStampMask;
  // '01' SCR[32..30] 1 SCR[29..15] 1 SCR[14..0] 1, SCR extension 0 (9 bits) 1,
  // program_mux_rate (22 bits) 1 1, 5 reserved bits and pack_stuffing_length 0.
  const uint8_t header[kPackHeader] = {
      0x00,
      0x00,
      0x01,
      0xBA,
      static_cast<uint8_t>(0x44 | (scr >> 27 & 0x38) | (scr >> 28 & 0x03)),
      static_cast<uint8_t>(scr >> 20),
      static_cast<uint8_t>((scr >> 12 & 0xF8) | 0x04 | (scr >> 13 & 0x03)),
      static_cast<uint8_t>(scr >> 5),
      static_cast<uint8_t>((scr << 3 & 0xF8) | 0x04),
      0x01,
      static_cast<uint8_t>(kMuxRate >> 14),
      static_cast<uint8_t>(kMuxRate >> 6),
      static_cast<uint8_t>((kMuxRate << 2 & 0xFC) | 0x03),
      0xF8,
  };
  out.insert(out.end(), header, header + kPackHeader);
}

void appendPts(uint64_t pts, std::vector<uint8_t>& out) {
  pts &= kStampMask;
  // '0010' PTS[32..30] 1, PTS[29..15] 1, PTS[14..0] 1.
  out.push_back(static_cast<uint8_t>(0x21 | (pts >> 29 & 0x0E)));
  out.push_back(static_cast<uint8_t>(pts >> 22));
  out.push_back(static_cast<uint8_t>(pts >> 14 | 0x01));
  out.push_back(static_cast<uint8_t>(pts >> 7));
  out.push_back(static_cast<uint8_t>(pts << 1 | 0x01));
}

}  // namespace

void appendVobSubPacks(std::span<const uint8_t> unit, uint64_t ticks, uint8_t substream,
                       std::vector<uint8_t>& out) {
  size_t at = 0;
  bool first = true;
  do {
    const size_t pts = first ? kPtsBytes : 0;
    const size_t room = kVobSubPack - kPackHeader - kPesHeader - pts - kSubstreamByte;
    const size_t data = std::min(room, unit.size() - at);
    const size_t gap = room - data;
    // A gap too small for a padding packet becomes stuffing in the PES header.
    const size_t stuffing = gap <= kMaxStuffing ? gap : 0;
    const size_t padding = gap - stuffing;
    appendPackHeader(ticks, out);
    const size_t pesLength = 3 + pts + stuffing + kSubstreamByte + data;  // after the length
    const uint8_t pes[kPesHeader] = {0x00,
                                     0x00,
                                     0x01,
                                     kPrivateStream1,
                                     static_cast<uint8_t>(pesLength >> 8),
                                     static_cast<uint8_t>(pesLength),
                                     0x81,  // '10', not scrambled, original
                                     static_cast<uint8_t>(first ? 0x80 : 0x00),  // PTS only
                                     static_cast<uint8_t>(pts + stuffing)};
    out.insert(out.end(), pes, pes + kPesHeader);
    if (first) appendPts(ticks, out);
    out.insert(out.end(), stuffing, 0xFF);
    out.push_back(substream);
    out.insert(out.end(), unit.begin() + static_cast<std::ptrdiff_t>(at),
               unit.begin() + static_cast<std::ptrdiff_t>(at + data));
    if (padding > 0) {
      const size_t length = padding - kPaddingHeader;
      const uint8_t header[kPaddingHeader] = {0x00,
                                              0x00,
                                              0x01,
                                              kPaddingStream,
                                              static_cast<uint8_t>(length >> 8),
                                              static_cast<uint8_t>(length)};
      out.insert(out.end(), header, header + kPaddingHeader);
      out.insert(out.end(), length, 0xFF);
    }
    at += data;
    first = false;
  } while (at < unit.size());
}

std::string vobSubIndexHeader(const VobSubRequest& request) {
  const bool sized = request.width > 0 && request.height > 0;
  const RgbPalette colours = request.palette ? paletteToRgb(*request.palette) : defaultPalette();
  std::string text = "# VobSub index file, v7 (do not modify this line!)\n#\n";
  text += "size: " + std::to_string(sized ? request.width : 720) + "x" +
          std::to_string(sized ? request.height : 576) + "\n";
  text += "palette:";
  for (size_t i = 0; i < colours.size(); ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06x", colours[i].packed());
    text += (i == 0 ? " " : ", ") + std::string(hex);
  }
  const std::string index = std::to_string(std::clamp(request.streamNumber, 0, kMaxStream));
  text += "\n\n# Language index in use\nlangidx: " + index + "\n\n";
  const std::string code = languageCode(request.language);
  const std::string language = code.empty() ? "--" : code;
  text += "id: " + language + ", index: " + index + "\n";
  return text;
}

std::string vobSubTimestampLine(uint64_t ticks, uint64_t filePosition) {
  const auto ms = static_cast<uint64_t>(ticksToMilliseconds(static_cast<int64_t>(ticks)));
  char position[24];
  std::snprintf(position, sizeof position, "%09llx", static_cast<unsigned long long>(filePosition));
  return "timestamp: " + durationText(ms, 3, ':') + ", filepos: " + position + "\n";
}

namespace {

class VobSubOutput final : public StreamOutput {
 public:
  VobSubOutput(FileSystem& files, Console& console, VobSubRequest request)
      : files_(files), console_(console), request_(std::move(request)) {
    request_.streamNumber = std::clamp(request_.streamNumber, 0, kMaxStream);
  }

  Status piece(const uint8_t* data, size_t size, const PieceContext& context) override;
  Status finish() override;
  std::vector<OutputFile> files() const override;
  const std::string& failedPath() const override { return failedPath_; }
  const Status& status() const override { return status_; }

 private:
  // A piece held until the stream's form is known.
  struct Held {
    std::vector<uint8_t> bytes;
    PieceContext context;
  };
  enum class Mode : uint8_t { Undecided, VobSub, Sup };

  std::string idxPath() const { return request_.path + ".idx"; }
  std::string subPath() const { return request_.path + ".sub"; }
  Status fail(const Status& status, const std::string& path);
  Status startVobSub();
  Status startSup();
  Status writeUnits();
  uint64_t unitTicks(uint32_t pts);

  FileSystem& files_;
  Console& console_;
  VobSubRequest request_;
  Mode mode_ = Mode::Undecided;
  SubpictureUnitAssembler assembler_;
  std::vector<SubpictureUnit> done_;
  std::vector<Held> held_;
  std::unique_ptr<ByteSink> idx_;
  std::unique_ptr<ByteSink> sub_;
  std::unique_ptr<SupRecordOutput> sup_;
  std::vector<uint8_t> packs_;
  uint64_t subPosition_ = 0;
  uint64_t extendedSkipped_ = 0;
  uint64_t beforeVideo_ = 0;
  bool finished_ = false;
  Status status_;
  std::string failedPath_;
};

Status VobSubOutput::fail(const Status& status, const std::string& path) {
  if (status_.ok() && !status.ok()) {
    status_ = status;
    failedPath_ = path;
  }
  return status_;
}

Status VobSubOutput::startVobSub() {
  mode_ = Mode::VobSub;
  if (Status created = files_.create(idxPath(), &idx_); !created.ok())
    return fail(created, idxPath());
  console_.log("Creating " + escapeMarkup(idxPath()));
  if (Status created = files_.create(subPath(), &sub_); !created.ok())
    return fail(created, subPath());
  console_.log("Creating " + escapeMarkup(subPath()));
  const std::string header = vobSubIndexHeader(request_);
  return fail(idx_->write(reinterpret_cast<const uint8_t*>(header.data()), header.size()),
              idxPath());
}

Status VobSubOutput::startSup() {
  mode_ = Mode::Sup;
  const uint8_t id =
      held_.empty() ? static_cast<uint8_t>(0x20 + request_.streamNumber) : held_.front().context.id;
  console_.log("Subpicture stream 0x" + hexText(id, 2) +
               " holds 8-bit (HD DVD) subpictures, which VobSub cannot carry: it is written as "
               ".sup records instead");
  std::unique_ptr<ByteSink> sink;
  if (Status created = files_.create(request_.supPath, &sink); !created.ok())
    return fail(created, request_.supPath);
  console_.log("Creating " + escapeMarkup(request_.supPath));
  sup_ = std::make_unique<SupRecordOutput>(std::move(sink), request_.firstPtsMin);
  for (const Held& held : held_) {
    if (Status written = sup_->piece(held.bytes.data(), held.bytes.size(), held.context);
        !written.ok())
      return fail(written, sup_->failedPath());
  }
  return status_;
}

uint64_t VobSubOutput::unitTicks(uint32_t pts) {
  const uint32_t origin = request_.videoStartPts.value_or(request_.firstPtsMin);
  const auto difference = static_cast<int32_t>(pts - origin);
  if (difference >= 0) return static_cast<uint64_t>(difference);
  ++beforeVideo_;
  return 0;
}

Status VobSubOutput::writeUnits() {
  for (const SubpictureUnit& unit : done_) {
    if (unit.form != UnitForm::TwoBit) {
      ++extendedSkipped_;
      continue;
    }
    const uint64_t ticks = unitTicks(unit.pts);
    const std::string line = vobSubTimestampLine(ticks, subPosition_);
    if (Status written = idx_->write(reinterpret_cast<const uint8_t*>(line.data()), line.size());
        !written.ok())
      return fail(written, idxPath());
    packs_.clear();
    appendVobSubPacks(unit.bytes, ticks, static_cast<uint8_t>(0x20 + request_.streamNumber),
                      packs_);
    if (Status written = sub_->write(packs_.data(), packs_.size()); !written.ok())
      return fail(written, subPath());
    subPosition_ += packs_.size();
  }
  done_.clear();
  return status_;
}

Status VobSubOutput::piece(const uint8_t* data, size_t size, const PieceContext& context) {
  if (!status_.ok() || finished_) return status_;
  if (mode_ == Mode::Sup) return fail(sup_->piece(data, size, context), sup_->failedPath());
  assembler_.piece(data, size, context, done_);
  if (mode_ == Mode::Undecided) {
    // The pieces from the start of the open unit on are kept for the ".sup" records.
    if (context.packetStart && context.pts) held_.clear();
    Held held{{data, data + size}, context};
    held.context.privateHeader = {};
    held_.push_back(std::move(held));
    const std::optional<UnitForm> form =
        !done_.empty() ? std::optional(done_.front().form) : assembler_.openForm();
    if (!form) {
      if (!assembler_.open()) held_.clear();
      return status_;
    }
    const Status started = *form == UnitForm::Extended ? startSup() : startVobSub();
    held_.clear();
    if (mode_ == Mode::Sup) done_.clear();
    if (!started.ok()) return started;
  }
  if (mode_ == Mode::VobSub) return writeUnits();
  return status_;
}

Status VobSubOutput::finish() {
  if (finished_) return status_;
  finished_ = true;
  assembler_.finish();
  if (mode_ == Mode::Undecided && status_.ok()) startVobSub();  // a stream without units
  if (sup_) fail(sup_->finish(), sup_->failedPath());
  if (idx_) fail(idx_->close(), idxPath());
  if (sub_) fail(sub_->close(), subPath());
  if (mode_ != Mode::VobSub) return status_;
  const std::string name = escapeMarkup(subPath());
  const uint64_t skipped = assembler_.dropped() + extendedSkipped_;
  if (skipped > 0) {
    console_.log(std::to_string(skipped) + " damaged or incomplete subpicture unit" +
                 (skipped == 1 ? "" : "s") + " skipped in " + name);
  }
  if (beforeVideo_ > 0) {
    console_.log(std::to_string(beforeVideo_) + " subpicture unit" +
                 (beforeVideo_ == 1 ? " starts" : "s start") + " before the video in " + name +
                 ": shown at 00:00:00:000");
  }
  return status_;
}

std::vector<OutputFile> VobSubOutput::files() const {
  std::vector<OutputFile> list;
  if (idx_) list.push_back({idxPath(), FileForm::VobSubIndex});
  if (sub_) list.push_back({subPath(), FileForm::VobSubData});
  if (sup_) list.push_back({request_.supPath, FileForm::SupRecords});
  return list;
}

}  // namespace

std::unique_ptr<StreamOutput> makeVobSubOutput(FileSystem& files, Console& console,
                                               const VobSubRequest& request) {
  return std::make_unique<VobSubOutput>(files, console, request);
}

}  // namespace korvell
