#include "testing/sample_disc.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "testing/ps_writer.h"
#include "testing/test_files.h"

namespace korvell::testing {

std::vector<uint8_t> timeMapBytes(const std::vector<Evobu>& evobus, uint16_t evobIndex) {
  // The general information (384 bytes), one search pointer, then one entry per EVOBU.
  constexpr size_t kEntries = 416;
  std::vector<uint8_t> map(kEntries + 4 * evobus.size());
  const auto put = [&map](size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
      map[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
  };
  const std::string magic = "HDDVD_TMAP00";
  std::copy(magic.begin(), magic.end(), map.begin());
  put(18, 0x0010, 2);      // VERN
  put(20, 0x2000, 2);      // TMAP_TY: advanced VTS, contiguous
  put(55, 1, 2);           // TMAPI_Ns
  put(57, 0xFFFFFFFF, 4);  // ILVUI_SA: none
  put(61, 0xFFFFFFFF, 4);  // EVOB_ATR_SA: none
  const std::string vti = "HVA00001.VTI";
  std::copy(vti.begin(), vti.end(), map.begin() + 114);
  put(384, kEntries, 4);
  put(388, evobIndex, 2);
  put(390, evobus.size(), 2);
  for (size_t i = 0; i < evobus.size(); ++i) {
    const uint32_t firstReference = std::min<uint32_t>(evobus[i].packs, 2);
    put(kEntries + 4 * i, firstReference << 21 | evobus[i].fields << 13 | evobus[i].packs, 4);
  }
  map.resize((map.size() + 2047) / 2048 * 2048);
  put(12, map.size() / 2048 - 1, 4);  // TMAP_EA: the map's last sector
  return map;
}

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

// Each EVOBU (a navigation pack and the packs that follow it) plays this many video fields,
// half a second; a field lasts 1501.5 ticks of the 90 kHz clock.
constexpr uint32_t kEvobuFields = 30;
constexpr double kFieldTicks = 1501.5;
constexpr size_t kMaxMapEntries = 0xFFFF;  // the entry count is a 16-bit field

// Writes one EVO: every packet in time order, cut into EVOBUs of kEvobuFields fields from
// `start` on, each opened by a navigation pack (the first one also carries the system header)
// that gives the EVO's first and last video time. A stretch of time without packets still
// gets its EVOBU (a navigation pack alone), so that the EVOBUs' times add up.
class EvoWriter {
 public:
  EvoWriter(const fs::path& path, uint16_t vobNumber, uint32_t start, uint32_t end)
      : file_(path), vobNumber_(vobNumber), start_(start), end_(end) {}

  void write(const std::vector<Source>& sources, const std::vector<Packet>& packets) {
    for (const auto& p : packets) {
      const uint32_t evobu =
          static_cast<uint32_t>((p.time - start_) / (kEvobuFields * kFieldTicks));
      while (evobus_.empty() || evobus_.size() <= evobu)
        openEvobu();
      writePacket(sources, p);
    }
  }

  /// Writes the packets as one EVOBU of their own, whatever their times.
  void writeEvobu(const std::vector<Source>& sources, const std::vector<Packet>& packets) {
    openEvobu();
    for (const auto& p : packets)
      writePacket(sources, p);
  }

  bool ok() const { return file_.ok(); }
  uint64_t written() const { return file_.written(); }
  const std::vector<Evobu>& evobus() const { return evobus_; }
  bool close() { return file_.close(); }

 private:
  void writePacket(const std::vector<Source>& sources, const Packet& p) {
    PsWriter ps;
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
    put(ps);
  }

  void openEvobu() {
    const auto time = static_cast<uint32_t>(start_ + static_cast<double>(evobus_.size()) *
                                                         kEvobuFields * kFieldTicks);
    evobus_.push_back({0, kEvobuFields});
    PsWriter ps;
    ps.packHeader(time);
    if (evobus_.size() == 1) ps.systemHeader(1, 3);
    ps.navigationPacket(vobNumber_, start_, end_);
    ps.fillPack();
    put(ps);
  }

  void put(PsWriter& ps) {
    evobus_.back().packs += static_cast<uint32_t>(ps.size() / 2048);
    file_.write(ps);
  }

  PackFile file_;
  uint16_t vobNumber_;
  uint32_t start_;
  uint32_t end_;
  std::vector<Evobu> evobus_;
};

bool writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Closes the EVO and writes its time map beside it (none for a map that could not hold its
// EVOBUs).
bool finishEvo(EvoWriter& evo, const fs::path& path, uint16_t evobIndex) {
  if (!evo.close()) return false;
  if (evo.evobus().size() > kMaxMapEntries) return true;
  return writeBytes(fs::path(path).replace_extension(".MAP"),
                    timeMapBytes(evo.evobus(), evobIndex));
}

// The advanced video title set information, HVA00001.VTI and its backup: here only its
// identifier, so the folder looks as a disc's does.
// Creates root/HVDVD_TS and root/ADV_OBJ and returns them.
std::pair<fs::path, fs::path> discFolders(const std::string& root) {
  const fs::path video = fs::path(root) / "HVDVD_TS";
  const fs::path playlists = fs::path(root) / "ADV_OBJ";
  std::error_code ec;
  fs::create_directories(video, ec);
  fs::create_directories(playlists, ec);
  return {video, playlists};
}

bool writeTitleSetInformation(const fs::path& folder) {
  std::vector<uint8_t> vti(2048);
  const std::string magic = "ADVANCED-VTS";
  std::copy(magic.begin(), magic.end(), vti.begin());
  return writeBytes(folder / "HVA00001.VTI", vti) && writeBytes(folder / "HVA00001.BUP", vti);
}

}  // namespace

bool writeSampleDisc(const std::string& root, const std::string& testdataDir, uint64_t feature1Size,
                     std::string* error) {
  std::vector<Source> sources;
  if (!loadSources(testdataDir, &sources, error)) return false;
  const auto [video, playlists] = discFolders(root);

  EvoWriter first(video / "FEATURE_1.EVO", 1, kStartPts, kStartPts + kTitleTicks);
  first.write(sources, schedule(sources, 0.0, 0.5, 0));
  // Filler for benchmarks: the whole title again and again, each time later.
  for (uint32_t round = 1; first.ok() && first.written() < feature1Size; ++round) {
    first.write(sources, schedule(sources, 0.0, 1.0, round * kTitleTicks * 2));
  }
  EvoWriter second(video / "FEATURE_2.EVO", 2, kStartPts + kTitleTicks / 2,
                   kStartPts + kTitleTicks / 2 + kTitleTicks);
  second.write(sources, schedule(sources, 0.5, 1.0, 0));
  if (!finishEvo(first, video / "FEATURE_1.EVO", 1) ||
      !finishEvo(second, video / "FEATURE_2.EVO", 2) || !writeTitleSetInformation(video)) {
    *error = "cannot write the sample disc under " + video.string();
    return false;
  }
  const fs::path playlist = fs::path(testdataDir) / "VPLST000.XPL";
  std::error_code ec;
  fs::copy_file(playlist, playlists / "VPLST000.XPL", fs::copy_options::overwrite_existing, ec);
  if (ec) {
    *error = "cannot copy " + playlist.string() + ": " + ec.message();
    return false;
  }
  return true;
}

namespace {

// The test disc's playlists: VPLST000.XPL with a first-play title and two titles, the first of
// two clips whose first plays only the middle EVOBU of FEATURE_1.EVO; VPLST001.XPL, the
// highest-numbered, a language selector without a clip.
constexpr const char* kTestPlaylist = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1"
          minorVersion="0" displayName="Korvell Test Disc">
  <Configuration><StreamingBuffer size="0"/><Aperture size="1920x1080"/></Configuration>
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="VC-1"/>
    <AudioAttributeItem index="1" codec="DD+" sampleFrequency="48" channels="6"/>
    <AudioAttributeItem index="2" codec="MLP" sampleFrequency="48" channels="6"/>
    <AudioAttributeItem index="3" codec="DTS-HD" sampleFrequency="48" channels="6"/>
    <SubpictureAttributeItem index="1" codec="8bitRLC"/>
  </MediaAttributeList>
  <TitleSet timeBase="60fps" defaultLanguage="en">
    <FirstPlayTitle titleDuration="00:00:00:30">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/INTRO.MAP"
                             titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:00:30">
        <Video track="1" mediaAttr="1"/>
      </PrimaryAudioVideoClip>
    </FirstPlayTitle>
    <Title id="Feature" titleNumber="1" titleDuration="00:00:01:00" displayName="Feature"
           onEnd="Extras">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" dataSource="Disc"
                             titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:00:30"
                             clipTimeBegin="00:00:00:30">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" description="English DD+ 5.1"/>
        <Audio track="2" streamNumber="2" mediaAttr="2"/>
        <Audio track="3" streamNumber="3" mediaAttr="3"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1"/>
        <Subtitle track="2" streamNumber="2" mediaAttr="1"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP" dataSource="Disc"
                             titleTimeBegin="00:00:00:30" titleTimeEnd="00:00:01:00"
                             seamless="true">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1"/>
        <Audio track="2" streamNumber="2" mediaAttr="2"/>
        <Audio track="3" streamNumber="3" mediaAttr="3"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1"/>
        <Subtitle track="2" streamNumber="2" mediaAttr="1"/>
      </PrimaryAudioVideoClip>
      <TrackNavigationList>
        <VideoTrack track="1" selectable="true"/>
        <AudioTrack track="1" langcode="en:01" description="English" selectable="true"/>
        <AudioTrack track="2" langcode="en:03" selectable="true"/>
        <AudioTrack track="3" langcode="de:01" description="Deutsch" selectable="true"/>
        <SubtitleTrack track="1" langcode="en:01" description="English" selectable="true"/>
        <SubtitleTrack track="2" langcode="de:09" forced="true" selectable="false"/>
      </TrackNavigationList>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Opening"/>
        <Chapter titleTimeBegin="00:00:00:30" displayName="The Crossing"/>
        <Chapter titleTimeBegin="00:00:00:45"/>
      </ChapterList>
    </Title>
    <Title id="Extras" titleNumber="2" titleDuration="00:00:01:30" displayName="Extras">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
                             titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:01:30">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1"/>
      </PrimaryAudioVideoClip>
      <TrackNavigationList>
        <AudioTrack track="1" langcode="ja:01" description="Japanese"/>
      </TrackNavigationList>
    </Title>
  </TitleSet>
</Playlist>
)";

constexpr const char* kSelectorPlaylist = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1"
          minorVersion="0">
  <Configuration><StreamingBuffer size="0"/><Aperture size="1920x1080"/></Configuration>
  <TitleSet timeBase="60fps">
    <Title titleNumber="1" titleDuration="00:00:10:00">
      <ApplicationSegment src="file:///dvddisc/ADV_OBJ/selector.xmf" zOrder="0"
                          titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:10:00"/>
    </Title>
  </TitleSet>
</Playlist>
)";

bool writeText(const fs::path& path, const char* text) {
  const std::string bytes(text);
  return writeBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace

bool writeHdDvdTestDisc(const std::string& root, const std::string& testdataDir,
                        std::string* error) {
  std::vector<Source> sources;
  if (!loadSources(testdataDir, &sources, error)) return false;
  const auto [video, playlists] = discFolders(root);
  // The samples are each repeated three times; every EVOBU holds one repeat of every stream,
  // so that each begins where a stream can be decoded from. INTRO holds the first repeat,
  // FEATURE_1 all three (three EVOBUs), FEATURE_2 the last one again.
  struct Evo {
    const char* name;
    uint16_t number;
    int firstRepeat, lastRepeat;
  };
  const Evo evos[] = {
      {"INTRO.EVO", 1, 0, 0}, {"FEATURE_1.EVO", 2, 0, 2}, {"FEATURE_2.EVO", 3, 2, 2}};
  bool ok = writeTitleSetInformation(video);
  for (const Evo& e : evos) {
    const auto timeOf = [](int repeat) {
      return static_cast<uint32_t>(kStartPts + repeat * kTitleTicks / kSampleRepeats);
    };
    EvoWriter evo(video / e.name, e.number, timeOf(e.firstRepeat), timeOf(e.lastRepeat + 1));
    for (int repeat = e.firstRepeat; repeat <= e.lastRepeat; ++repeat) {
      evo.writeEvobu(sources, schedule(sources, static_cast<double>(repeat) / kSampleRepeats,
                                       static_cast<double>(repeat + 1) / kSampleRepeats, 0));
    }
    ok = finishEvo(evo, video / e.name, e.number) && ok;
  }
  ok = writeText(playlists / "VPLST000.XPL", kTestPlaylist) &&
       writeText(playlists / "VPLST001.XPL", kSelectorPlaylist) && ok;
  if (!ok) *error = "cannot write the test disc under " + root;
  return ok;
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
