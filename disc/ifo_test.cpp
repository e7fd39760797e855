#include "disc/ifo.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>

#include "engine/extent_source.h"
#include "engine/walker.h"
#include "testing/dvd_test_disc.h"
#include "testing/memory_outputs.h"
#include "testing/pass_values.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::dvdTestDisc;

#define SKIP_WITHOUT_DISC()                                                           \
  if (!dvdTestDisc().missingTool.empty())                                             \
    GTEST_SKIP() << dvdTestDisc().missingTool << ": the test DVD cannot be authored"; \
  ASSERT_EQ(dvdTestDisc().failure, "")

// A value of lsdvd's Python output (-Oy): a number's or string's text, a list or a dictionary.
struct PyValue {
  std::string text;
  std::vector<PyValue> items;
  std::map<std::string, PyValue> fields;
  const PyValue& operator[](const std::string& key) const { return fields.at(key); }
  int64_t ms() const { return std::llround(std::stod(text) * 1000); }
  int hex() const { return std::stoi(text, nullptr, 16); }
  int integer() const { return std::stoi(text); }
};

PyValue parsePython(const std::string& s, size_t& at) {
  while (std::isspace(static_cast<unsigned char>(s[at])) || s[at] == ',')
    ++at;
  PyValue value;
  if (s[at] == '{' || s[at] == '[') {
    const char close = s[at++] == '{' ? '}' : ']';
    while (s.find_first_not_of(" \n,", at) < s.size() &&
           s[s.find_first_not_of(" \n,", at)] != close) {
      if (close == ']') {
        value.items.push_back(parsePython(s, at));
      } else {
        const std::string key = parsePython(s, at).text;
        at = s.find(':', at) + 1;
        value.fields[key] = parsePython(s, at);
      }
    }
    at = s.find(close, at) + 1;
  } else if (s[at] == '\'') {
    const size_t end = s.find('\'', at + 1);
    value.text = s.substr(at + 1, end - at - 1);
    at = end + 1;
  } else {
    const size_t end = s.find_first_of(",}] \n", at);
    value.text = s.substr(at, end - at);
    at = end;
  }
  return value;
}

PyValue lsdvd(const fs::path& disc) {
  const std::string output = testing::runCommand("lsdvd -x -Oy '" + disc.string() + "'").output;
  size_t at = output.find("lsdvd = {");
  if (at == std::string::npos) return {};
  at += 8;
  return parsePython(output, at);
}

std::vector<const TitleStream*> streamsOf(const Title& title, Family family) {
  std::vector<const TitleStream*> streams;
  for (const TitleStream& stream : title.streams) {
    if (stream.family == family) streams.push_back(&stream);
  }
  return streams;
}

TEST(DvdTitles, AgreeWithLsdvd) {
  SKIP_WITHOUT_DISC();
  const fs::path videoTs = dvdTestDisc().folder / "VIDEO_TS";
  const DvdDisc disc = readDvdTitles(dvdTestDisc().folder.string(), realFileSystem());
  ASSERT_TRUE(disc.status.ok()) << disc.status.reason();
  EXPECT_TRUE(disc.problems.empty());
  const PyValue expected = lsdvd(dvdTestDisc().folder);
  // What the script authored, so that an lsdvd that read nothing cannot agree by accident.
  ASSERT_EQ(disc.titles.size(), 2u);
  ASSERT_EQ(expected["track"].items.size(), 2u);
  const std::vector<PyValue> none;
  const std::string first = (videoTs / "VTS_01_1.VOB").string();
  const std::string second = (videoTs / "VTS_01_2.VOB").string();
  const uint64_t cut = fs::file_size(first);
  for (size_t t = 0; t < 2; ++t) {
    const Title& title = disc.titles[t];
    const PyValue& track = expected["track"].items[t];
    SCOPED_TRACE(title.baseName);
    EXPECT_EQ(title.titleSet, track["vts"].integer());
    EXPECT_EQ(std::llround(title.durationSeconds * 1000), track["length"].ms());
    EXPECT_EQ(title.angles, track["angles"].integer());
    // lsdvd gives chapter lengths: a chapter starts where the ones before it end.
    ASSERT_EQ(title.chapters.size(), track["chapter"].items.size());
    int64_t startMs = 0;
    for (size_t i = 0; i < title.chapters.size(); ++i) {
      EXPECT_EQ(title.chapters[i].startNs, startMs * 1000000) << "chapter " << i + 1;
      startMs += track["chapter"].items[i]["length"].ms();
    }
    for (size_t i = 0; i < 16; ++i)
      EXPECT_EQ(title.palette.value()[i], static_cast<uint32_t>(track["palette"].items[i].hex()));
    const auto audio = streamsOf(title, Family::Audio);
    ASSERT_EQ(audio.size(), track["audio"].items.size());
    for (size_t i = 0; i < audio.size(); ++i) {
      const PyValue& stream = track["audio"].items[i];
      EXPECT_EQ(audio[i]->language, stream["langcode"].text);
      EXPECT_EQ(audio[i]->id, stream["streamid"].hex());
      EXPECT_EQ(audio[i]->channels, stream["channels"].integer());
      EXPECT_EQ(audio[i]->sampleRate, stream["frequency"].integer());
    }
    const auto subpictures = streamsOf(title, Family::Subpicture);
    const auto& subp = track.fields.count("subp") ? track["subp"].items : none;
    ASSERT_EQ(subpictures.size(), subp.size());
    for (size_t i = 0; i < subp.size(); ++i) {
      EXPECT_EQ(subpictures[i]->language, subp[i]["langcode"].text);
      EXPECT_EQ(subpictures[i]->id, subp[i]["streamid"].hex());
    }
    // The cells' sectors count over both VOB files as one; the cut splits title 1.
    const auto& cells = track["cell"].items;
    const uint64_t begin = static_cast<uint64_t>(cells.front()["first_sector"].integer()) * 2048;
    const uint64_t end = static_cast<uint64_t>(cells.back()["last_sector"].integer() + 1) * 2048;
    std::vector<FileExtent> extents;
    if (begin < cut) extents.push_back({first, begin, std::min(end, cut) - begin});
    if (end > cut)
      extents.push_back({second, std::max(begin, cut) - cut, end - std::max(begin, cut)});
    EXPECT_EQ(title.extents, extents);
  }
  EXPECT_EQ(disc.titles[0].extents.size(), 2u);
  EXPECT_EQ(disc.titles[0].chapters.size(), 4u);
  EXPECT_EQ(streamsOf(disc.titles[0], Family::Subpicture).size(), 1u);
  EXPECT_EQ(disc.titles[1].baseName, "VTS_01_TITLE_2");
  EXPECT_EQ(titleStartingIn(disc.titles, first), &disc.titles[0]);
  EXPECT_EQ(titleStartingIn(disc.titles, (videoTs / "." / "VTS_01_2.VOB").string()),
            &disc.titles[1]);
  EXPECT_EQ(titleStartingIn(disc.titles, (videoTs / "VTS_01_0.IFO").string()), nullptr);
}

TEST(DvdTitles, EachPathFormOfTheDiscAndEachAngleChoice) {
  SKIP_WITHOUT_DISC();
  const fs::path root = dvdTestDisc().folder;
  const DvdDisc disc = readDvdTitles(root.string(), realFileSystem());
  for (const fs::path& path : {root / "VIDEO_TS", root / "VIDEO_TS" / "VTS_01_2.VOB"})
    EXPECT_EQ(readDvdTitles(path.string(), realFileSystem()).titles, disc.titles) << path;
  Title title;
  ASSERT_TRUE(readDvdTitle(root.string(), 2, 1, &title, realFileSystem()).ok());
  EXPECT_EQ(title, disc.titles[1]);
  const std::pair<std::pair<int, int>, const char*> cases[] = {
      {{1, 2}, "Title 1 has 1 angle; there is no angle 2"},
      {{1, 0}, "Title 1 has 1 angle; there is no angle 0"},
      {{3, 1}, "The disc has 2 titles; there is no title 3"}};
  for (const auto& [request, reason] : cases) {
    const Status read =
        readDvdTitle(root.string(), request.first, request.second, &title, realFileSystem());
    EXPECT_EQ(read, Status::failure(Status::Code::ReadFailed, reason));
  }
}

TEST(DvdTitles, WalkingATitleGivesTheStreamsAndBytesOfItsSource) {
  SKIP_WITHOUT_DISC();
  const DvdDisc disc = readDvdTitles(dvdTestDisc().folder.string(), realFileSystem());
  ASSERT_EQ(disc.titles.size(), 2u);
  const testing::TempFolder out;
  for (const Title& title : disc.titles) {
    SCOPED_TRACE(title.baseName);
    // One scan and one demux of the video and both audio streams, over the title's extents.
    const Slot slots[] = {{Family::Video, 0}, {Family::Audio, 0}, {Family::Audio, 1}};
    std::vector<MemorySink> sinks(3);
    testing::PassValues scan, state;
    testing::RecordingHost host;
    scan.options.Details = state.options.Details = false;
    testing::MemoryOutputs outputs;
    for (size_t i = 0; i < 3; ++i) {
      state.selection.selected[slotNumber(slots[i])] = true;
      outputs.attach(state.sinks, state.results, slots[i], sinks[i]);
    }
    for (auto [walked, mode] : {std::pair{&scan, WalkMode::Scan}, {&state, WalkMode::Demux}}) {
      std::unique_ptr<ExtentSource> source;
      std::string failedPath;
      ASSERT_TRUE(ExtentSource::open(realFileSystem(), title.extents, &source, &failedPath).ok());
      ASSERT_TRUE(demux(walked->walker(*source), host, mode).ok());
    }
    // The scan finds every stream the IFO names, under the identifier it gives, and no other.
    int subpictures = 0;
    for (const TitleStream& stream : title.streams) {
      const auto& ids = stream.family == Family::Video   ? scan.registry.videoIds.data()
                        : stream.family == Family::Audio ? scan.registry.audioIds.data()
                                                         : scan.registry.subIds.data();
      EXPECT_EQ(ids[stream.id & 0x0F], stream.id);
      subpictures += stream.family == Family::Subpicture;
    }
    EXPECT_EQ(scan.registry.subIds[0], subpictures > 0 ? 0x20 : -1);
    EXPECT_EQ(scan.registry.audioIds[2], -1);
    // The demuxed bytes equal what ffmpeg copies out of the source the title was authored from.
    const char* maps[] = {"-map 0:v -f mpeg2video", "-map 0:a:0 -f ac3", "-map 0:a:1 -f ac3"};
    const fs::path source =
        dvdTestDisc().folder / ("title" + std::to_string(title.number) + ".mpg");
    for (size_t i = 0; i < 3; ++i) {
      const fs::path copied = out / ("copy" + std::to_string(i));
      ASSERT_EQ(testing::runCommand("ffmpeg -v error -y -i '" + source.string() + "' " + maps[i] +
                                    " -c copy '" + copied.string() + "'")
                    .status,
                0);
      const auto expected = testing::readFileBytes(copied);
      ASSERT_GT(expected.size(), 10000u);
      EXPECT_TRUE(sinks[i].bytes() == expected)
          << maps[i] << ": " << sinks[i].bytes().size() << " bytes against " << expected.size();
    }
  }
}

// Damage done to both an IFO and its backup.
using Damage = std::function<void(const fs::path& file)>;
std::function<void(const fs::path&)> both(const char* name, Damage damage) {
  return [=](const fs::path& videoTs) {
    damage(videoTs / (std::string(name) + ".IFO"));
    damage(videoTs / (std::string(name) + ".BUP"));
  };
}
Damage cutTo(uintmax_t size) {
  return [=](const fs::path& file) { fs::resize_file(file, size); };
}
Damage noiseFrom(size_t from) {
  return [=](const fs::path& file) {
    auto bytes = testing::readFileBytes(file);
    for (size_t i = from; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(i * 7919 >> 3);
    testing::writeFileBytes(file, bytes);
  };
}
// Sets the last sector of the first cell of title 2's program chain: the chain table's sector
// at 0xCC, the second chain's offset in its search pointer, the cell table's offset at 0xE8 of
// the chain, 24 bytes a cell, the last sector at 20.
void cellPastTheEnd(const fs::path& file) {
  auto ifo = testing::readFileBytes(file);
  const auto be = [&](size_t at, int n) {
    size_t value = 0;
    for (int i = 0; i < n; ++i)
      value = value << 8 | ifo[at + static_cast<size_t>(i)];
    return value;
  };
  const size_t table = be(0xCC, 4) * 2048;
  const size_t pgc = table + be(table + 8 + 8 + 4, 4);
  const size_t last = pgc + be(pgc + 0xE8, 2) + 20;
  ifo[last] = ifo[last + 1] = ifo[last + 3] = 0;
  ifo[last + 2] = 0x40;  // sector 0x4000
  testing::writeFileBytes(file, ifo);
}

TEST(DvdTitles, DamagedCopiesGiveTheirReasons) {
  SKIP_WITHOUT_DISC();
  struct Case {
    const char* name;
    std::function<void(const fs::path& videoTs)> damage;
    std::string disc;    // the disc's failure ({} the VIDEO_TS folder, {root} the disc folder)
    std::string first;   // title 1's problem
    std::string second;  // title 2's problem; kSame: the same as title 1's
  };
  const std::string kSame = "(same)";
  const std::string ifo = "Cannot read \"{}/VTS_01_0.IFO\": it is ";
  const std::string pastTheEnd = " of title set 1, but its VOB files end at sector ";
  const auto removed = [](const fs::path& file) { fs::remove(file); };
  const Case cases[] = {
      {"no VIDEO_TS folder", [](const fs::path& v) { fs::remove_all(v); },
       "Cannot find a VIDEO_TS folder or a VIDEO_TS.IFO file in \"{root}\"", "", ""},
      {"no VIDEO_TS.IFO", both("VIDEO_TS", removed), "Cannot find \"{}/VIDEO_TS.IFO\"", "", ""},
      {"truncated VIDEO_TS.IFO", both("VIDEO_TS", cutTo(2048 + 100)),
       "Cannot read \"{}/VIDEO_TS.IFO\": it is truncated", "", ""},
      {"garbage in VIDEO_TS.IFO", both("VIDEO_TS", noiseFrom(2048)),
       "Cannot read \"{}/VIDEO_TS.IFO\": it is damaged (the title search pointer table lies past "
       "its end)",
       "", ""},
      {"no title set IFO", both("VTS_01_0", removed), "", "Cannot find \"{}/VTS_01_0.IFO\"", kSame},
      {"truncated title set IFO", both("VTS_01_0", cutTo(2 * 2048 + 100)), "", ifo + "truncated",
       kSame},
      {"garbage title set IFO", both("VTS_01_0", noiseFrom(0)), "",
       ifo + "not a DVD-Video IFO file (it does not begin with DVDVIDEO-VTS)", kSame},
      {"garbage in the title set IFO", both("VTS_01_0", noiseFrom(2048)), "",
       ifo + "damaged (the chapter search pointer table lies past its end)", kSame},
      {"garbage IFO, sound backup", [](const fs::path& v) { noiseFrom(0)(v / "VTS_01_0.IFO"); }, "",
       "", ""},
      {"a cell past the VOB files", both("VTS_01_0", cellPastTheEnd), "", "",
       "Title 2 plays sectors up to 16384" + pastTheEnd +
           "988 and there is no \"{}/VTS_01_3.VOB\""},
      {"no second VOB file", [](const fs::path& v) { fs::remove(v / "VTS_01_2.VOB"); }, "",
       "Title 1 plays sectors up to 671" + pastTheEnd + "336 and there is no \"{}/VTS_01_2.VOB\"",
       "Title 2 plays sectors up to 988" + pastTheEnd + "336 and there is no \"{}/VTS_01_2.VOB\""},
      {"no first VOB file", [](const fs::path& v) { fs::remove(v / "VTS_01_1.VOB"); }, "",
       "Cannot find \"{}/VTS_01_1.VOB\", the first VOB file of title set 1", kSame},
      {"a gap in the VOB files",
       [](const fs::path& v) { fs::rename(v / "VTS_01_2.VOB", v / "VTS_01_3.VOB"); }, "",
       "Cannot find \"{}/VTS_01_2.VOB\", but \"{}/VTS_01_3.VOB\" follows it", kSame},
      // The second pack of title 1 is a video pack: the scrambling bits of its PES header set.
      {"scrambling bits in title 1",
       [](const fs::path& v) {
         auto vob = testing::readFileBytes(v / "VTS_01_1.VOB");
         vob[2048 + 20] = static_cast<uint8_t>(vob[2048 + 20] | 0x10);
         testing::writeFileBytes(v / "VTS_01_1.VOB", vob);
       },
       "",
       "Cannot read \"{}/VTS_01_1.VOB\": its packs are scrambled: the disc is encrypted, and "
       "Korvell reads decrypted discs",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempFolder folder;
    testing::copyDvdTestDisc(folder.path());
    const fs::path videoTs = folder / "VIDEO_TS";
    c.damage(videoTs);
    const auto fill = [&](std::string text) {
      if (text == kSame) text = c.first;
      for (size_t at; (at = text.find("{root}")) != std::string::npos;)
        text.replace(at, 6, folder.path().string());
      for (size_t at; (at = text.find("{}")) != std::string::npos;)
        text.replace(at, 2, videoTs.string());
      return text;
    };
    ::testing::internal::CaptureStderr();
    const DvdDisc disc = readDvdTitles(folder.path().string(), realFileSystem());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // libdvdread's messages are kept
    EXPECT_EQ(disc.status.reason(), fill(c.disc));
    if (!c.disc.empty()) continue;
    std::vector<std::string> reasons(disc.titles.size() + disc.problems.size());
    for (const TitleProblem& problem : disc.problems)
      reasons.at(static_cast<size_t>(problem.number) - 1) = problem.status.reason();
    EXPECT_EQ(reasons, (std::vector<std::string>{fill(c.first), fill(c.second)}));
  }
}

}  // namespace
}  // namespace korvell
