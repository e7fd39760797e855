#include "engine/stream_kinds.h"

#include <gtest/gtest.h>

#include <string>

namespace korvell {
namespace {

// The identifier ranges as the disc formats define them, written out once, independently of
// the table: every identifier of every space must come out of the table as listed here.
struct Expected {
  IdSpace space;
  int first, last;
  bool audioObject;
  Family family;
  int slotMask;  // slot = id AND mask, or id - 0x55 for VC-1 (mask 0)
  const char* prefix;
  const char* label;  // null: no box of its own
  Analyser analyser;
  int headerBytes;
  const char* codecName;
};

constexpr Expected kDescription[] = {
    {IdSpace::StreamId, 0xE0, 0xE1, false, Family::Video, 1, "[b]MPEG-2[/b] video stream ",
     "MPEG-2.stream", Analyser::Mpeg2, 0, "mpeg2video"},
    {IdSpace::StreamId, 0xE2, 0xE3, false, Family::Video, 1, "[b]H.264 (AVC)[/b] video stream ",
     "H.264.stream", Analyser::H264, 0, "h264"},
    {IdSpace::Extension, 0x55, 0x56, false, Family::Video, 0, "[b]VC-1[/b] video stream ",
     "VC-1.stream", Analyser::Vc1, 0, "vc1"},
    {IdSpace::Substream, 0x80, 0x87, false, Family::Audio, 7, "[b]Dolby Digital[/b] audio stream ",
     "DD.stream", Analyser::Ac3, 4, "ac3"},
    {IdSpace::Substream, 0x88, 0x8F, false, Family::Audio, 7, "[b]DTS HD (DTS)[/b] audio stream ",
     "DTSHD.stream", Analyser::Dts, 4, "dts"},
    {IdSpace::Substream, 0xA0, 0xA7, false, Family::Audio, 0x0F, "[b]LPCM[/b] audio stream ",
     "LPCM.stream", Analyser::Lpcm, 7, "lpcm"},
    {IdSpace::Substream, 0xA0, 0xA0, true, Family::Audio, 0x0F, "[b]LPCM[/b] audio stream ",
     "LPCM.stream", Analyser::AobLpcm, 0, "lpcm"},
    {IdSpace::Substream, 0xA1, 0xA1, true, Family::Audio, 0x0F, "[b]MLP[/b] audio stream ",
     "LPCM.stream", Analyser::Mlp, 0, "mlp"},
    {IdSpace::Substream, 0xA2, 0xA7, true, Family::Audio, 0x0F, "[b]LPCM[/b] audio stream ",
     "LPCM.stream", Analyser::AobLpcm, 0, "lpcm"},
    {IdSpace::Substream, 0xB0, 0xB7, false, Family::Audio, 7, "[b]Dolby TrueHD[/b] audio stream ",
     "MLP.stream", Analyser::Mlp, 5, "truehd"},
    {IdSpace::Substream, 0xC0, 0xCF, false, Family::Audio, 0x0F,
     "[b]Dolby Digital[/b] Plus audio stream ", "DD+.stream", Analyser::Ac3, 4, "eac3"},
    {IdSpace::Substream, 0x20, 0x2F, false, Family::Subpicture, 0x1F, "[b]Subpicture[/b] stream ",
     "Subpicture", Analyser::Subpicture, 1, "dvd_subtitle"},
    {IdSpace::Substream, 0x30, 0x3F, false, Family::Subpicture, 0x1F, "[b]Subpicture[/b] stream ",
     nullptr, Analyser::Subpicture, 1, "dvd_subtitle"},
    {IdSpace::Substream, 0x60, 0x6F, false, Family::Subpicture, 0x1F,
     "[b]Extended subpicture[/b] stream ", "Ext.Subpicture", Analyser::Subpicture, 1,
     "dvd_subtitle"},
    {IdSpace::Substream, 0x70, 0x7F, false, Family::Subpicture, 0x1F,
     "[b]Extended subpicture[/b] stream ", nullptr, Analyser::Subpicture, 1, "dvd_subtitle"},
};

const Expected* expectedFor(IdSpace space, int id, bool audioObject) {
  // DVD-Audio changes only 0xA0-0xA7; everything else reads as in other files.
  for (bool exact : {true, false}) {
    for (const Expected& e : kDescription) {
      if (e.space != space || id < e.first || id > e.last) continue;
      if (exact ? e.audioObject == audioObject : !e.audioObject) return &e;
    }
    if (!audioObject) break;
  }
  return nullptr;
}

TEST(StreamKinds, EveryIdentifierOfEverySpaceAsTheDiscFormatsDefineIt) {
  for (IdSpace space : {IdSpace::StreamId, IdSpace::Extension, IdSpace::Substream}) {
    for (bool audioObject : {false, true}) {
      for (int id = 0; id < 256; ++id) {
        const auto byte = static_cast<uint8_t>(id);
        const StreamKindInfo* kind = findKind(space, byte, audioObject);
        const Expected* e = expectedFor(space, id, audioObject);
        const std::string where = std::to_string(static_cast<int>(space)) + "/" +
                                  std::to_string(id) + (audioObject ? " in an AOB" : "");
        // MPEG audio is a kind of packet, never registered.
        if (space == IdSpace::StreamId && id >= 0xC0 && id <= 0xCF) {
          ASSERT_NE(kind, nullptr) << where;
          EXPECT_FALSE(kind->registered) << where;
          continue;
        }
        if (e == nullptr) {
          EXPECT_EQ(kind, nullptr) << where;
          continue;
        }
        ASSERT_NE(kind, nullptr) << where;
        EXPECT_TRUE(kind->registered) << where;
        EXPECT_EQ(kind->family, e->family) << where;
        EXPECT_EQ(slotOf(*kind, byte), e->slotMask == 0 ? id - 0x55 : id & e->slotMask) << where;
        EXPECT_STREQ(kind->foundPrefix, e->prefix) << where;
        EXPECT_EQ(kind->label == nullptr, e->label == nullptr) << where;
        if (e->label != nullptr) {
          EXPECT_STREQ(kind->label, e->label) << where;
        }
        EXPECT_EQ(kind->selectable, e->label != nullptr) << where;
        EXPECT_EQ(kind->analyser, e->analyser) << where;
        EXPECT_EQ(kind->headerBytes, e->headerBytes) << where;
        EXPECT_STREQ(kind->codecName, e->codecName) << where;
        EXPECT_EQ(registeredKind(e->family, id, audioObject), kind) << where;
      }
    }
  }
}

TEST(StreamKinds, RenumberingStaysInsideTheCodecRange) {
  // Slot n of a range is its n-th identifier; past the range there is none.
  struct Case {
    IdSpace space;
    uint8_t id;
    int slot;
    int expected;
  };
  const Case cases[] = {{IdSpace::StreamId, 0xE1, 0, 0xE0},   {IdSpace::StreamId, 0xE3, 1, 0xE3},
                        {IdSpace::StreamId, 0xE2, 2, -1},     {IdSpace::Extension, 0x56, 1, 0x56},
                        {IdSpace::Extension, 0x55, 2, -1},    {IdSpace::Substream, 0x85, 7, 0x87},
                        {IdSpace::Substream, 0x85, 8, -1},    {IdSpace::Substream, 0xC3, 15, 0xCF},
                        {IdSpace::Substream, 0x2A, 15, 0x2F}, {IdSpace::Substream, 0x2A, 16, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(idOfSlot(*findKind(c.space, c.id), c.slot), c.expected) << int{c.id} << " " << c.slot;
  }
}

}  // namespace
}  // namespace korvell
