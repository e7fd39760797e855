#include "disc/hddvd_disc.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/memory_file_system.h"
#include "testing/ps_writer.h"
#include "testing/sample_disc.h"

namespace korvell {
namespace {

using testing::MemoryFileSystem;

constexpr uint64_t kPack = 2048;
const std::string kEvo = "/d/HVDVD_TS/A.EVO";
const std::string kMap = "/d/HVDVD_TS/A.MAP";

// An EVO of `packs` packs whose first navigation packet gives it 1.5 seconds.
std::vector<uint8_t> evo(size_t packs) {
  testing::PsWriter ps;
  ps.packHeader(0).navigationPacket(1, 90000, 90000 + 135000).fillPack();
  while (ps.size() < packs * kPack)
    ps.packHeader(0).padding(kPack - testing::PsWriter::kPackHeaderSize);
  return ps.take();
}

// EVOBUs of 2, 3 and 5 packs, 30 fields (half a second at 60 fps) each.
std::vector<uint8_t> map() {
  return testing::timeMapBytes({{2, 30}, {3, 30}, {5, 30}});
}

std::string playlist(const std::string& titleBody) {
  return R"(<Playlist><MediaAttributeList><AudioAttributeItem index="1" codec="DD+"/>
</MediaAttributeList><TitleSet timeBase="60fps"><Title titleNumber="1" titleDuration="00:00:01:00">)" +
         titleBody + "</Title></TitleSet></Playlist>";
}

std::string clip(const char* begin, const char* end, const char* clipBegin,
                 const char* map = "A.MAP") {
  return std::string("<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/") + map +
         "\" titleTimeBegin=\"" + begin + "\" titleTimeEnd=\"" + end + "\" clipTimeBegin=\"" +
         clipBegin + "\"/>";
}

TEST(HdDvdDisc, ClipsThroughTheirTimeMaps) {
  struct Case {
    const char* what;
    std::string title;
    std::function<void(MemoryFileSystem&)> change;
    std::vector<FileExtent> extents;  // the title's, when it can be played
    std::string problem;              // part of its reason otherwise
    std::string note;                 // part of a note the reading gives
  };
  const auto packs = [](uint64_t first, uint64_t count) {
    return FileExtent{kEvo, first * kPack, count * kPack};
  };
  const auto none = [](MemoryFileSystem&) {};
  const auto noMap = [](MemoryFileSystem& f) { ASSERT_TRUE(f.remove(kMap).ok()); };
  const Case cases[] = {
      {"inside its EVO", clip("00:00:00:00", "00:00:00:30", "00:00:00:30"), none, {packs(2, 3)}},
      {"meeting two EVOBUs",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:10"),
       none,
       {packs(0, 5)}},
      {"ending where an EVOBU begins",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:00"),
       none,
       {packs(0, 2)}},
      {"to the EVO's end and past it",
       clip("00:00:00:00", "00:00:05:00", "00:00:00:00"),
       none,
       {packs(0, 10)}},
      {"continued by the next clip",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:00") +
           clip("00:00:00:30", "00:00:01:00", "00:00:00:30"),
       none,
       {packs(0, 5)}},
      {"beginning past the map's end",
       clip("00:00:00:00", "00:00:00:30", "00:00:02:00"),
       none,
       {},
       "clip 1 plays nothing of"},
      {"whole, without its map",
       clip("00:00:00:00", "00:00:01:30", "00:00:00:00"),
       noMap,
       {packs(0, 10)},
       "",
       "A.MAP\" was not used (it is missing): clip 1 plays the whole"},
      {"in part, without its map",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:30"),
       noMap,
       {},
       "clip 1 plays part of \"/d/HVDVD_TS/A.EVO\", but its time map \"/d/HVDVD_TS/A.MAP\" "
       "cannot be used: it is missing"},
      {"whole, its map no map",
       clip("00:00:00:00", "00:00:01:30", "00:00:00:00"),
       [](MemoryFileSystem& f) { f.add(kMap, std::vector<uint8_t>(2048, 'x')); },
       {packs(0, 10)},
       "",
       "(it does not begin with HDDVD_TMAP00)"},
      {"its map short of its EVO",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:30"),
       [](MemoryFileSystem& f) { f.add(kEvo, evo(11)); },
       {},
       "its entries add up to 10 packs, the EVO has 11"},
      {"its map's entries past its end",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:30"),
       [](MemoryFileSystem& f) {
         std::vector<uint8_t> bytes = map();
         bytes[390] = 2;  // 515 entries
         f.add(kMap, bytes);
       },
       {},
       "its entries lie past its end"},
      {"an interleaved block of angles",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:00"),
       [](MemoryFileSystem& f) {
         std::vector<uint8_t> bytes = map();
         bytes[20] = 0x22;  // TMAP_TY 0x2202: interleaved, seamless angles
         bytes[56] = 3;     // three tables
         f.add(kMap, bytes);
       },
       {},
       "maps an interleaved block of 3 angles"},
      {"whose EVO is missing",
       clip("00:00:00:00", "00:00:00:30", "00:00:00:00", "B.MAP"),
       [](MemoryFileSystem& f) { f.add("/d/HVDVD_TS/B.MAP", map()); },
       {},
       "clip 1: cannot open \"/d/HVDVD_TS/B.EVO\""},
      {"without valid times",
       clip("00:00:00:00", "00:00:00:60", "00:00:00:00"),
       none,
       {},
       "clip 1 has no valid titleTimeBegin"},
      {"of a title without clips",
       "<ChapterList/></Title><Title>" + clip("00:00:00:00", "00:00:00:30", "00:00:00:00"),
       none,
       {},
       "it has no clip"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.add(kEvo, evo(10));
    files.add(kMap, map());
    c.change(files);
    const std::string xpl = playlist(c.title);
    files.add("/d/ADV_OBJ/VPLST000.XPL", std::vector<uint8_t>(xpl.begin(), xpl.end()));
    const HdDvdDisc disc = readHdDvdTitles("/d", files);
    ASSERT_TRUE(disc.status.ok()) << c.what << ": " << disc.status.reason();
    if (c.problem.empty()) {
      ASSERT_EQ(disc.titles.size(), 1u) << c.what;
      EXPECT_EQ(disc.titles[0].extents, c.extents) << c.what;
    } else {
      ASSERT_EQ(disc.problems.size(), 1u) << c.what;
      EXPECT_NE(disc.problems[0].status.reason().find(c.problem), std::string::npos)
          << c.what << ": " << disc.problems[0].status.reason();
    }
    std::string notes;
    for (const std::string& note : disc.notes)
      notes += note + "\n";
    EXPECT_NE(notes.find(c.note), std::string::npos) << c.what << ": " << notes;
  }
}

TEST(HdDvdDisc, ThePlaylistWithAClipOrTheOneNamed) {
  MemoryFileSystem files;
  files.add(kEvo, evo(10));
  files.add(kMap, map());
  const std::string withClip = playlist(clip("00:00:00:00", "00:00:00:30", "00:00:00:00"));
  const std::string selector = playlist("<ApplicationSegment src=\"menu.xmf\"/>");
  const auto add = [&files](const char* name, const std::string& text) {
    files.add(std::string("/d/ADV_OBJ/") + name, std::vector<uint8_t>(text.begin(), text.end()));
  };
  add("VPLST000.XPL", withClip);
  add("VPLST002.XPL", selector);
  add("vplst007.xpl", "<Playlist><TitleSet>");
  add("VPLST08.XPL", selector);  // no playlist's name

  HdDvdDisc disc = readHdDvdTitles("/d/HVDVD_TS/A.EVO", files);
  ASSERT_TRUE(disc.status.ok()) << disc.status.reason();
  EXPECT_EQ(disc.playlistPath, "/d/ADV_OBJ/VPLST000.XPL");
  ASSERT_EQ(disc.notes.size(), 3u);
  EXPECT_NE(disc.notes[1].find("vplst007.xpl\" is not an XML document: "), std::string::npos)
      << disc.notes[1];
  EXPECT_NE(disc.notes[2].find("VPLST002.XPL\" has no clip"), std::string::npos) << disc.notes[2];
  EXPECT_EQ(disc.titles.size(), 1u);

  disc = readHdDvdTitles("/d/ADV_OBJ", files, "/d/ADV_OBJ/VPLST002.XPL");
  ASSERT_TRUE(disc.status.ok());
  EXPECT_TRUE(disc.titles.empty());
  EXPECT_EQ(disc.problems.size(), 1u);

  ASSERT_TRUE(files.remove("/d/ADV_OBJ/VPLST000.XPL").ok());
  disc = readHdDvdTitles("/d", files);
  EXPECT_FALSE(disc.status.ok());
  EXPECT_NE(disc.status.reason().find("No playlist of \"/d\" has a clip to play"),
            std::string::npos)
      << disc.status.reason();
  EXPECT_FALSE(readHdDvdTitles("/elsewhere", files).status.ok());
}

}  // namespace
}  // namespace korvell
