#include "engine/slots.h"

#include <gtest/gtest.h>

#include "engine/file_kinds.h"

namespace korvell {
namespace {

TEST(Slots, NamesAndNumbersGoBothWays) {
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    EXPECT_EQ(slotNumber(slot), number);
    EXPECT_EQ(slotNamed(slotName(slot)), slot) << slotName(slot);
  }
  struct Case {
    Slot slot;
    const char* name;
    const char* digits;
  };
  const Case cases[] = {{{Family::Video, 1}, "v1", "1"},
                        {{Family::Audio, 3}, "a03", "03"},
                        {{Family::Audio, 15}, "a15", "15"},
                        {{Family::Subpicture, 12}, "s12", "12"}};
  for (const Case& c : cases) {
    EXPECT_EQ(slotName(c.slot), c.name);
    EXPECT_EQ(slotDigits(c.slot), c.digits);
  }
}

TEST(Slots, OnlyShortNamesOfSelectableSlotsAreTaken) {
  EXPECT_EQ(slotNamed("a3"), (Slot{Family::Audio, 3}));
  for (const char* name : {"", "v", "v2", "v01", "a16", "s16", "x0", "a-1", "a1x", "a003", "V0"}) {
    EXPECT_FALSE(slotNamed(name)) << name;
  }
}

TEST(FileKinds, ProgramStreamsByExtensionInAnyCase) {
  struct Case {
    const char* path;
    bool programStream;
    bool audioObject;
  };
  const Case cases[] = {
      {"/d/HVDVD_TS/FEATURE_1.EVO", true, false},
      {"/d/VIDEO_TS/vts_01_1.vob", true, false},
      {"/d/AUDIO_TS/ATS_01_1.aob", true, true},
      {"/d/AUDIO_TS/ATS_01_1.AOB", true, true},
      {"/d/ADV_OBJ/VPLST000.XPL", false, false},
      {"/d/x.aob/README", false, false},
      {"EVO", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isProgramStream(c.path), c.programStream) << c.path;
    EXPECT_EQ(isAudioObject(c.path), c.audioObject) << c.path;
  }
}

}  // namespace
}  // namespace korvell
