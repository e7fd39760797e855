#include "testing/sample_disc.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "testing/ps_writer.h"
#include "testing/test_files.h"

namespace korvell::testing {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kStartPts = 90000;     // one second in
constexpr uint32_t kTitleTicks = 135000;  // every stream lasts a second and a half
// Each encoder sample is used this many times in a row, so that the first file is larger
// than one read block and its first block shows the system header.
constexpr int kSampleRepeats = 3;
constexpr uint32_t kFirstPtsMin = kStartPts;  // the earliest audio or video PTS
constexpr size_t kSubpictureUnit = 3000;      // spans two packets: one with a PTS, one without
constexpr int kSubpictureUnits = 12;

struct Source {
  uint8_t streamId;  // 0xFD, 0xBD
  uint8_t id;        // extension or substream id
  std::string label;
  std::string extension;
  std::vector<uint8_t> bytes;
  bool subpicture = false;
};

// A subpicture unit: its first two bytes are the unit size for the 2-bit format, zero for the
// 8-bit format; the rest is a pattern that never forms a start code.
std::vector<uint8_t> subpictureUnit(int index, bool eightBit) {
  std::vector<uint8_t> unit(kSubpictureUnit);
  for (size_t i = 0; i < unit.size(); ++i)
    unit[i] = static_cast<uint8_t>(0x40 + (i + index) % 64);
  unit[0] = eightBit ? 0 : static_cast<uint8_t>(kSubpictureUnit >> 8);
  unit[1] = eightBit ? 0 : static_cast<uint8_t>(kSubpictureUnit);
  return unit;
}

bool loadSources(const std::string& testdataDir, std::vector<Source>* sources, std::string* error) {
  const fs::path dir(testdataDir);
  struct File {
    uint8_t streamId, id;
    const char* label;
    const char* extension;
    const char* name;
  };
  const File files[] = {
      {0xFD, 0x55, "VC-1.stream.0", "mpv", "vc1_ap_sample.vc1"},
      {0xBD, 0xC0, "DD+.stream.00", "mpa", "eac3_768k_6ch.eac3"},
      {0xBD, 0xB1, "MLP.stream.01", "mpa", "truehd_6ch.thd"},
      {0xBD, 0x8A, "DTSHD.stream.02", "mpa", "dts_1509k_6ch.dts"},
  };
  for (const auto& f : files) {
    const auto sample = readFileBytes(dir / f.name);
    if (sample.empty()) {
      *error = "cannot read the sample " + (dir / f.name).string();
      return false;
    }
    std::vector<uint8_t> bytes;
    for (int r = 0; r < kSampleRepeats; ++r)
      bytes.insert(bytes.end(), sample.begin(), sample.end());
    sources->push_back({f.streamId, f.id, f.label, f.extension, std::move(bytes)});
  }
  for (uint8_t id : {uint8_t{0x20}, uint8_t{0x21}}) {
    Source sub{0xBD, id, "Subpicture." + std::string(id == 0x20 ? "00" : "01"), "sup", {}, true};
    for (int u = 0; u < kSubpictureUnits; ++u) {
      const auto unit = subpictureUnit(u, id == 0x21);
      sub.bytes.insert(sub.bytes.end(), unit.begin(), unit.end());
    }
    sources->push_back(std::move(sub));
  }
  return true;
}

// One packet to be written: a piece of one stream at its time.
struct Packet {
  uint32_t time;
  size_t source;
  size_t offset;
  size_t length;
  bool withPts;
};

PesFields fieldsFor(const Source& s, bool withPts, uint32_t time) {
  PesFields f;
  if (withPts) f.pts = time;
  if (s.streamId == 0xFD) {
    f.streamIdExtension = s.id;
    if (withPts) f.dts = time;
  }
  return f;
}

// Payload bytes that fit one 2,048-byte pack with this packet's headers.
size_t payloadRoom(const Source& s, bool withPts) {
  size_t header = PsWriter::kPackHeaderSize + 6 + pesHeaderSize(fieldsFor(s, withPts, 0));
  if (s.streamId == 0xBD) header += static_cast<size_t>(substreamHeaderSize(s.id));
  return 2048 - header;
}

// Cuts bytes [from, to) of every stream into packets and orders them by time.
std::vector<Packet> schedule(const std::vector<Source>& sources, double fromFraction,
                             double toFraction, uint32_t timeOffset) {
  std::vector<Packet> packets;
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source& s = sources[i];
    if (s.subpicture) {
      const int first = static_cast<int>(fromFraction * kSubpictureUnits);
      const int last = static_cast<int>(toFraction * kSubpictureUnits);
      for (int u = first; u < last; ++u) {
        const auto time = static_cast<uint32_t>(kStartPts + timeOffset + 5000 +
                                                u * (kTitleTicks / kSubpictureUnits));
        const size_t start = static_cast<size_t>(u) * kSubpictureUnit;
        const size_t head = std::min(kSubpictureUnit, payloadRoom(s, true));
        packets.push_back({time, i, start, head, true});
        packets.push_back({time, i, start + head, kSubpictureUnit - head, false});
      }
      continue;
    }
    const size_t from = static_cast<size_t>(fromFraction * static_cast<double>(s.bytes.size()));
    const size_t to = static_cast<size_t>(toFraction * static_cast<double>(s.bytes.size()));
    for (size_t offset = from; offset < to;) {
      const size_t length = std::min(payloadRoom(s, true), to - offset);
      const auto time = static_cast<uint32_t>(
          kStartPts + timeOffset +
          static_cast<double>(offset) / static_cast<double>(s.bytes.size()) * kTitleTicks);
      packets.push_back({time, i, offset, length, true});
      offset += length;
    }
  }
  std::stable_sort(packets.begin(), packets.end(),
                   [](const Packet& a, const Packet& b) { return a.time < b.time; });
  return packets;
}

class PackFile {
 public:
  explicit PackFile(const fs::path& path) : file_(std::fopen(path.string().c_str(), "wb")) {}
  ~PackFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr && ok_; }
  void write(PsWriter& ps) {
    if (file_ == nullptr) return;
    const auto& bytes = ps.bytes();
    ok_ = ok_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    written_ += bytes.size();
    ps = PsWriter();
  }
  uint64_t written() const { return written_; }
  bool close() {
    const bool closed = file_ != nullptr && std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && ok_;
  }

 private:
  std::FILE* file_;
  bool ok_ = true;
  uint64_t written_ = 0;
};

void writeHeaderPack(PackFile& file, uint16_t vobNumber, uint32_t timeOffset) {
  PsWriter ps;
  ps.packHeader(kStartPts + timeOffset).systemHeader(1, 3);
  ps.navigationPacket(vobNumber, kStartPts + timeOffset, kStartPts + timeOffset + kTitleTicks);
  ps.fillPack();
  file.write(ps);
}

void writePackets(PackFile& file, const std::vector<Source>& sources,
                  const std::vector<Packet>& packets) {
  PsWriter ps;
  for (const auto& p : packets) {
    const Source& s = sources[p.source];
    const std::span<const uint8_t> payload(s.bytes.data() + p.offset, p.length);
    ps.packHeader(p.time);
    const PesFields fields = fieldsFor(s, p.withPts, p.time);
    if (s.streamId == 0xBD) {
      ps.privateStream1(s.id, payload, fields);
    } else {
      ps.pes(s.streamId, payload, fields);
    }
    ps.fillPack();
    file.write(ps);
  }
}

}  // namespace

bool writeSampleDisc(const std::string& root, const std::string& testdataDir, uint64_t feature1Size,
                     std::string* error) {
  std::vector<Source> sources;
  if (!loadSources(testdataDir, &sources, error)) return false;
  const fs::path video = fs::path(root) / "HVDVD_TS";
  const fs::path playlists = fs::path(root) / "ADV_OBJ";
  std::error_code ec;
  fs::create_directories(video, ec);
  fs::create_directories(playlists, ec);

  PackFile first(video / "FEATURE_1.EVO");
  writeHeaderPack(first, 1, 0);
  writePackets(first, sources, schedule(sources, 0.0, 0.5, 0));
  // Filler for benchmarks: the whole title again and again, each time later.
  for (uint32_t round = 1; first.ok() && first.written() < feature1Size; ++round) {
    writePackets(first, sources, schedule(sources, 0.0, 1.0, round * kTitleTicks * 2));
  }
  PackFile second(video / "FEATURE_2.EVO");
  writeHeaderPack(second, 2, kTitleTicks / 2);
  writePackets(second, sources, schedule(sources, 0.5, 1.0, 0));
  if (!first.close() || !second.close()) {
    *error = "cannot write the sample disc under " + video.string();
    return false;
  }
  const fs::path playlist = fs::path(testdataDir) / "VPLST000.XPL";
  fs::copy_file(playlist, playlists / "VPLST000.XPL", fs::copy_options::overwrite_existing, ec);
  if (ec) {
    *error = "cannot copy " + playlist.string() + ": " + ec.message();
    return false;
  }
  return true;
}

std::vector<SampleStream> sampleDiscStreams(const std::string& testdataDir) {
  std::vector<Source> sources;
  std::string error;
  if (!loadSources(testdataDir, &sources, &error)) return {};
  std::vector<SampleStream> streams;
  for (const auto& s : sources) {
    SampleStream stream{s.label, s.extension, {}};
    if (!s.subpicture) {
      stream.bytes = s.bytes;
    } else {
      // Each unit is a ".sup" record: "SP", its PTS less the earliest audio or video PTS
      // (little-endian), four zero bytes, then the unit.
      for (int u = 0; u < kSubpictureUnits; ++u) {
        const uint32_t pts = 5000 + u * (kTitleTicks / kSubpictureUnits) + kStartPts - kFirstPtsMin;
        const uint8_t header[10] = {'S',
                                    'P',
                                    static_cast<uint8_t>(pts),
                                    static_cast<uint8_t>(pts >> 8),
                                    static_cast<uint8_t>(pts >> 16),
                                    static_cast<uint8_t>(pts >> 24),
                                    0,
                                    0,
                                    0,
                                    0};
        stream.bytes.insert(stream.bytes.end(), header, header + 10);
        const auto unit = subpictureUnit(u, s.id == 0x21);
        stream.bytes.insert(stream.bytes.end(), unit.begin(), unit.end());
      }
    }
    streams.push_back(std::move(stream));
  }
  return streams;
}

}  // namespace korvell::testing
