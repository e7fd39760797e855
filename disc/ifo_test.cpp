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
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::dvdTestDisc;

#define SKIP_WITHOUT_DISC()                                                           \
  if (!dvdTestDisc().missingTool.empty()) {                                           \
    GTEST_SKIP() << dvdTestDisc().missingTool << ": the test DVD cannot be authored"; \
  }                                                                                   \
  ASSERT_EQ(dvdTestDisc().failure, "")

// A value of lsdvd's Python output (-Oy): a number or string as its text, a list, or a
// dictionary.
struct PyValue {
  std::string text;
  std::vector<PyValue> items;
  std::map<std::string, PyValue> fields;
  const PyValue& operator[](const std::string& key) const { return fields.at(key); }
  double number() const { return std::stod(text); }
};

PyValue parsePython(const std::string& s, size_t& at) {
  const auto skip = [&] {
    while (at < s.size() && (std::isspace(static_cast<unsigned char>(s[at])) || s[at] == ','))
      ++at;
  };
  skip();
  PyValue value;
  if (s[at] == '{' || s[at] == '[') {
    const char close = s[at++] == '{' ? '}' : ']';
    for (skip(); at < s.size() && s[at] != close; skip()) {
      if (close == ']') {
        value.items.push_back(parsePython(s, at));
        continue;
      }
      const std::string key = parsePython(s, at).text;
      at = s.find(':', at) + 1;
      value.fields[key] = parsePython(s, at);
    }
    ++at;
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
  const DvdDisc disc = readDvdTitles(dvdTestDisc().folder.string());
  ASSERT_TRUE(disc.status.ok()) << disc.status.reason();
  EXPECT_TRUE(disc.problems.empty());
  const PyValue expected = lsdvd(dvdTestDisc().folder);
  ASSERT_EQ(disc.titles.size(), expected["track"].items.size());
  for (const PyValue& track : expected["track"].items) {
    const Title& title = disc.titles[static_cast<size_t>(track["ix"].number()) - 1];
    SCOPED_TRACE(title.baseName);
    EXPECT_EQ(title.titleSet, track["vts"].number());
    EXPECT_EQ(std::lround(title.durationSeconds * 1000),
              std::lround(track["length"].number() * 1000));
    EXPECT_EQ(title.angles, track["angles"].number());
    // lsdvd gives chapter lengths; a chapter starts where the ones before it end.
    ASSERT_EQ(title.chapters.size(), track["chapter"].items.size());
    int64_t startMs = 0;
    for (size_t i = 0; i < title.chapters.size(); ++i) {
      EXPECT_EQ(title.chapters[i].startNs, startMs * 1000000) << "chapter " << i + 1;
      startMs += std::lround(track["chapter"].items[i]["length"].number() * 1000);
    }
    ASSERT_TRUE(title.palette.has_value());
    for (size_t i = 0; i < 16; ++i)
      EXPECT_EQ((*title.palette)[i], std::stoul(track["palette"].items[i].text, nullptr, 16));
    const auto audio = streamsOf(title, Family::Audio);
    ASSERT_EQ(audio.size(), track["audio"].items.size());
    for (size_t i = 0; i < audio.size(); ++i) {
      const PyValue& stream = track["audio"].items[i];
      EXPECT_EQ(audio[i]->language, stream["langcode"].text);
      EXPECT_EQ(audio[i]->id, std::stoi(stream["streamid"].text, nullptr, 16));
      EXPECT_EQ(audio[i]->channels, stream["channels"].number());
      EXPECT_EQ(audio[i]->sampleRate, stream["frequency"].number());
      EXPECT_EQ(audio[i]->codec, "AC-3");
    }
    const auto subpictures = streamsOf(title, Family::Subpicture);
    const std::vector<PyValue> none;
    const auto& subp = track.fields.count("subp") ? track["subp"].items : none;
    ASSERT_EQ(subpictures.size(), subp.size());
    for (size_t i = 0; i < subp.size(); ++i) {
      EXPECT_EQ(subpictures[i]->language, subp[i]["langcode"].text);
      EXPECT_EQ(subpictures[i]->id, std::stoi(subp[i]["streamid"].text, nullptr, 16));
    }
  }
  // What the script authored, so that an lsdvd that read nothing cannot agree by accident.
  ASSERT_EQ(disc.titles.size(), 2u);
  EXPECT_EQ(disc.titles[0].chapters.size(), 4u);
  EXPECT_EQ(streamsOf(disc.titles[0], Family::Subpicture).size(), 1u);
  EXPECT_EQ(disc.titles[1].baseName, "VTS_01_TITLE_2");
}

TEST(DvdTitles, ExtentsFollowTheCellsAcrossTheCutVobFile) {
  SKIP_WITHOUT_DISC();
  const fs::path videoTs = dvdTestDisc().folder / "VIDEO_TS";
  const DvdDisc disc = readDvdTitles((videoTs / "VTS_01_2.VOB").string());
  ASSERT_EQ(disc.titles.size(), 2u);
  const std::string first = (videoTs / "VTS_01_1.VOB").string();
  const std::string second = (videoTs / "VTS_01_2.VOB").string();
  const uint64_t cut = fs::file_size(first);
  // Sector ranges as lsdvd prints the cells, over the two files as one.
  const PyValue expected = lsdvd(dvdTestDisc().folder);
  for (size_t t = 0; t < 2; ++t) {
    const auto& cells = expected["track"].items[t]["cell"].items;
    const uint64_t begin = static_cast<uint64_t>(cells.front()["first_sector"].number()) * 2048;
    const uint64_t end = static_cast<uint64_t>(cells.back()["last_sector"].number() + 1) * 2048;
    std::vector<FileExtent> want;
    if (begin < cut) want.push_back({first, begin, std::min(end, cut) - begin});
    if (end > cut) want.push_back({second, std::max(begin, cut) - cut, end - std::max(begin, cut)});
    EXPECT_EQ(disc.titles[t].extents, want) << "title " << t + 1;
  }
  EXPECT_EQ(disc.titles[0].extents.size(), 2u);  // title 1 runs across both files
  EXPECT_EQ(disc.titles[1].extents.size(), 1u);
  EXPECT_EQ(titleStartingIn(disc.titles, first), &disc.titles[0]);
  EXPECT_EQ(titleStartingIn(disc.titles, (videoTs / "." / "VTS_01_2.VOB").string()),
            &disc.titles[1]);
  EXPECT_EQ(titleStartingIn(disc.titles, (videoTs / "VTS_01_0.IFO").string()), nullptr);
}

TEST(DvdTitles, EachPathFormOfTheDiscAndEachAngleChoice) {
  SKIP_WITHOUT_DISC();
  const fs::path root = dvdTestDisc().folder;
  const DvdDisc disc = readDvdTitles(root.string());
  for (const fs::path& path : {root / "VIDEO_TS", root / "VIDEO_TS" / "VIDEO_TS.IFO"}) {
    const DvdDisc same = readDvdTitles(path.string());
    EXPECT_EQ(same.titles, disc.titles) << path;
  }
  Title title;
  ASSERT_TRUE(readDvdTitle(root.string(), 2, 1, &title).ok());
  EXPECT_EQ(title, disc.titles[1]);
  struct Case {
    int number, angle;
    const char* reason;
  };
  const Case cases[] = {{1, 2, "Title 1 has 1 angle; there is no angle 2"},
                        {1, 0, "Title 1 has 1 angle; there is no angle 0"},
                        {3, 1, "The disc has 2 titles; there is no title 3"}};
  for (const Case& c : cases) {
    const Status read = readDvdTitle(root.string(), c.number, c.angle, &title);
    EXPECT_EQ(read.code(), Status::Code::ReadFailed);
    EXPECT_EQ(read.reason(), c.reason);
  }
}

// Runs a pass of `mode` over the title's extents.
Status walkTitle(const Title& title, RunState& state, testing::RecordingHost& host, WalkMode mode) {
  std::unique_ptr<ExtentSource> source;
  std::string failedPath;
  const Status opened = ExtentSource::open(realFileSystem(), title.extents, &source, &failedPath);
  if (!opened.ok()) return opened;
  state.source = source.get();
  const Status walked = demux(state, host, mode);
  state.source = nullptr;
  return walked;
}

TEST(DvdTitles, WalkingATitleGivesTheStreamsAndBytesOfItsSource) {
  SKIP_WITHOUT_DISC();
  const DvdDisc disc = readDvdTitles(dvdTestDisc().folder.string());
  ASSERT_EQ(disc.titles.size(), 2u);
  const testing::TempFolder out;
  for (const Title& title : disc.titles) {
    SCOPED_TRACE(title.baseName);
    // The scan finds every stream the IFO names, under the identifier it gives.
    RunState scan;
    testing::RecordingHost host;
    scan.Details = false;
    ASSERT_TRUE(walkTitle(title, scan, host, WalkMode::Scan).ok());
    int subpictures = 0;
    for (const TitleStream& stream : title.streams) {
      const auto& ids = stream.family == Family::Video   ? scan.videoIds.data()
                        : stream.family == Family::Audio ? scan.audioIds.data()
                                                         : scan.subIds.data();
      EXPECT_EQ(ids[stream.id & 0x0F], stream.id);
      subpictures += stream.family == Family::Subpicture;
    }
    EXPECT_EQ(scan.subIds[0], subpictures > 0 ? 0x20 : -1);

    // The demuxed video and both audio streams equal what ffmpeg copies out of the source.
    RunState state;
    state.Details = false;
    const std::vector<std::pair<Slot, std::string>> streams = {
        {{Family::Video, 0}, "-map 0:v -f mpeg2video"},
        {{Family::Audio, 0}, "-map 0:a:0 -f ac3"},
        {{Family::Audio, 1}, "-map 0:a:1 -f ac3"}};
    std::vector<MemorySink> sinks(streams.size());
    for (size_t i = 0; i < streams.size(); ++i) {
      state.selected[slotNumber(streams[i].first)] = true;
      state.sinkOf(streams[i].first) = &sinks[i];
    }
    ASSERT_TRUE(walkTitle(title, state, host, WalkMode::Demux).ok());
    const std::string source =
        (dvdTestDisc().folder / ("title" + std::to_string(title.number) + ".mpg")).string();
    for (size_t i = 0; i < streams.size(); ++i) {
      const fs::path copied = out / ("copy" + std::to_string(i));
      ASSERT_EQ(testing::runCommand("ffmpeg -v error -y -i '" + source + "' " + streams[i].second +
                                    " -c copy '" + copied.string() + "'")
                    .status,
                0);
      const auto expected = testing::readFileBytes(copied);
      ASSERT_GT(expected.size(), 10000u);
      EXPECT_TRUE(sinks[i].bytes() == expected) << "stream " << i << ": " << sinks[i].bytes().size()
                                                << " bytes against " << expected.size();
    }
  }
}

// Damage done to a copy of the test disc's VIDEO_TS folder.
void truncateFile(const fs::path& path, uintmax_t size) {
  fs::resize_file(path, size);
}
void overwrite(const fs::path& path, size_t at, const std::vector<uint8_t>& bytes) {
  auto content = testing::readFileBytes(path);
  std::copy(bytes.begin(), bytes.end(), content.begin() + static_cast<ptrdiff_t>(at));
  testing::writeFileBytes(path, content);
}
uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
// The offset of cell `cell` (from 0) of program chain `chain` (from 0) in a title set IFO:
// the chain table's sector at 0xCC, the chain's offset in its search pointer, the cell
// table's offset at 0xE8 of the chain, 24 bytes a cell.
size_t cellOffset(const std::vector<uint8_t>& ifo, size_t chain, size_t cell) {
  const size_t table = be32(ifo, 0xCC) * size_t{2048};
  const size_t pgc = table + be32(ifo, table + 8 + chain * 8 + 4);
  return pgc + (size_t{ifo[pgc + 0xE8]} << 8 | ifo[pgc + 0xE9]) + cell * 24;
}

TEST(DvdTitles, DamagedCopiesGiveTheirReasons) {
  SKIP_WITHOUT_DISC();
  using Damage = std::function<void(const fs::path& videoTs)>;
  const auto both = [](const char* name, const std::function<void(const fs::path&)>& damage) {
    return [=](const fs::path& videoTs) {
      damage(videoTs / (std::string(name) + ".IFO"));
      damage(videoTs / (std::string(name) + ".BUP"));
    };
  };
  const auto garbage = [](const fs::path& file) {
    std::vector<uint8_t> noise(fs::file_size(file));
    for (size_t i = 0; i < noise.size(); ++i)
      noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
    testing::writeFileBytes(file, noise);
  };
  const auto garbageAfterHeader = [](const fs::path& file) {
    auto bytes = testing::readFileBytes(file);
    for (size_t i = 2048; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(i * 7919 >> 3);
    testing::writeFileBytes(file, bytes);
  };
  struct Case {
    const char* name;
    Damage damage;
    std::string discReason;                 // the disc's failure, or empty
    std::vector<std::string> titleReasons;  // per title, empty when it is fine
  };
  const std::string ifo = "Cannot read \"{}/VTS_01_0.IFO\": ";
  const Case cases[] = {
      {"no VIDEO_TS folder",
       [](const fs::path& v) { fs::remove_all(v); },
       "Cannot find a VIDEO_TS folder or a VIDEO_TS.IFO file in \"{root}\"",
       {}},
      {"no VIDEO_TS.IFO or .BUP",
       both("VIDEO_TS", [](const fs::path& f) { fs::remove(f); }),
       "Cannot find \"{}/VIDEO_TS.IFO\"",
       {}},
      {"truncated VIDEO_TS.IFO and .BUP",
       both("VIDEO_TS", [](const fs::path& f) { truncateFile(f, 1000); }),
       "Cannot read \"{}/VIDEO_TS.IFO\": it is truncated",
       {}},
      {"truncated title set IFO and BUP",
       both("VTS_01_0", [](const fs::path& f) { truncateFile(f, 4096); }),
       "",
       {ifo + "it is truncated", ifo + "it is truncated"}},
      {"garbage title set IFO and BUP",
       both("VTS_01_0", garbage),
       "",
       {ifo + "it is not a DVD-Video IFO file (it does not begin with DVDVIDEO-VTS)",
        ifo + "it is not a DVD-Video IFO file (it does not begin with DVDVIDEO-VTS)"}},
      {"garbage after the header of VIDEO_TS.IFO and .BUP",
       both("VIDEO_TS", garbageAfterHeader),
       "Cannot read \"{}/VIDEO_TS.IFO\": it is damaged (libdvdread: Unable to read read TT_SRPT.)",
       {}},
      {"garbage after the header of the title set IFO and BUP",
       both("VTS_01_0", garbageAfterHeader),
       "",
       {ifo + "it is damaged (libdvdread: Unable to read PTT search table.)",
        ifo + "it is damaged (libdvdread: Unable to read PTT search table.)"}},
      {"missing title set IFO and BUP",
       both("VTS_01_0", [](const fs::path& f) { fs::remove(f); }),
       "",
       {"Cannot find \"{}/VTS_01_0.IFO\"", "Cannot find \"{}/VTS_01_0.IFO\""}},
      {"garbage IFO with a sound backup",
       [&](const fs::path& v) { garbage(v / "VTS_01_0.IFO"); },
       "",
       {"", ""}},
      {"cell of title 2 past the VOB files",
       both("VTS_01_0",
            [](const fs::path& f) {
              overwrite(f, cellOffset(testing::readFileBytes(f), 1, 0) + 20, {0, 0, 0x40, 0});
            }),
       "",
       {"",
        "Title 2 plays sectors up to 16384 of title set 1, but its VOB files end at "
        "sector 988 and there is no \"{}/VTS_01_3.VOB\""}},
      {"missing second VOB file",
       [](const fs::path& v) { fs::remove(v / "VTS_01_2.VOB"); },
       "",
       {"Title 1 plays sectors up to 671 of title set 1, but its VOB files end at sector "
        "336 and there is no \"{}/VTS_01_2.VOB\"",
        "Title 2 plays sectors up to 988 of title set 1, but its VOB files end at sector "
        "336 and there is no \"{}/VTS_01_2.VOB\""}},
      {"missing first VOB file",
       [](const fs::path& v) { fs::remove(v / "VTS_01_1.VOB"); },
       "",
       {"Cannot find \"{}/VTS_01_1.VOB\", the first VOB file of title set 1",
        "Cannot find \"{}/VTS_01_1.VOB\", the first VOB file of title set 1"}},
      {"a gap in the VOB files",
       [](const fs::path& v) { fs::rename(v / "VTS_01_2.VOB", v / "VTS_01_3.VOB"); },
       "",
       {"Cannot find \"{}/VTS_01_2.VOB\", but \"{}/VTS_01_3.VOB\" follows it",
        "Cannot find \"{}/VTS_01_2.VOB\", but \"{}/VTS_01_3.VOB\" follows it"}},
      // The second pack of title 1 is a video pack: its PES header's scrambling bits set.
      {"scrambling bits in title 1",
       [](const fs::path& v) {
         auto pack = testing::readFileBytes(v / "VTS_01_1.VOB");
         overwrite(v / "VTS_01_1.VOB", 2048 + 20, {static_cast<uint8_t>(pack[2048 + 20] | 0x10)});
       },
       "",
       {"Cannot read \"{}/VTS_01_1.VOB\": its packs are scrambled, it is a copy of an "
        "encrypted disc that was not decrypted",
        ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempFolder folder;
    testing::copyDvdTestDisc(folder.path());
    const fs::path videoTs = folder / "VIDEO_TS";
    c.damage(videoTs);
    const auto fill = [&](std::string text) {
      for (size_t at; (at = text.find("{root}")) != std::string::npos;)
        text.replace(at, 6, folder.path().string());
      for (size_t at; (at = text.find("{}")) != std::string::npos;)
        text.replace(at, 2, videoTs.string());
      return text;
    };
    ::testing::internal::CaptureStderr();
    const DvdDisc disc = readDvdTitles(folder.path().string());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // libdvdread's messages are kept
    EXPECT_EQ(disc.status.reason(), fill(c.discReason));
    if (!c.discReason.empty()) continue;
    std::vector<std::string> reasons(disc.titles.size() + disc.problems.size());
    for (const TitleProblem& problem : disc.problems)
      reasons.at(static_cast<size_t>(problem.number) - 1) = problem.status.reason();
    std::vector<std::string> expected;
    for (const std::string& reason : c.titleReasons)
      expected.push_back(fill(reason));
    EXPECT_EQ(reasons, expected);
  }
}

}  // namespace
}  // namespace korvell
