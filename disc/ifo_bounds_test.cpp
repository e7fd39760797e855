#include "disc/ifo_bounds.h"

#include <gtest/gtest.h>

#include <functional>

#include "testing/dvd_test_disc.h"
#include "testing/test_files.h"

namespace korvell::dvd {
namespace {

using Bytes = std::vector<uint8_t>;

uint64_t get(const Bytes& b, uint64_t at, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i)
    value = value << 8 | b[at + static_cast<uint64_t>(i)];
  return value;
}
void put(Bytes& b, uint64_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i)
    b[at + static_cast<uint64_t>(i)] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}
// The first program chain of a title set IFO: the chain table's sector at 0xCC, the chain's
// offset in the first search pointer.
uint64_t firstChain(const Bytes& b) {
  const uint64_t table = get(b, 0xCC, 4) * 2048;
  return table + get(b, table + 12, 4);
}

TEST(IfoBounds, DamageInsideTheTablesLibdvdreadReads) {
  const auto& disc = testing::dvdTestDisc();
  if (disc.folder.empty()) GTEST_SKIP() << disc.missingTool << disc.failure;
  const Bytes manager = testing::readFileBytes(disc.folder / "VIDEO_TS" / "VIDEO_TS.IFO");
  const Bytes titleSet = testing::readFileBytes(disc.folder / "VIDEO_TS" / "VTS_01_0.IFO");
  struct Case {
    const char* name;
    bool vmg;
    std::function<void(Bytes&)> damage;
    const char* outside;
  };
  const Case cases[] = {
      {"sound manager", true, [](Bytes&) {}, ""},
      {"sound title set", false, [](Bytes&) {}, ""},
      {"another identifier", true, [](Bytes& b) { b[11] = 'S'; }, "the header"},
      {"first play chain far away", true, [](Bytes& b) { put(b, 0x84, 0x7FFFFFFF, 4); },
       "the first play program chain"},
      {"65535 titles in a table that says nothing of its end", true,
       [](Bytes& b) {
         put(b, 2048, 0xFFFF, 2);
         put(b, 2048 + 4, 0, 4);
       },
       "the title search pointer table"},
      {"the last sector cut short", false, [](Bytes& b) { b.resize(5 * 2048 + 100); },
       "the VOBU address map"},
      {"a chapter table ending at 4 GiB", false,
       [](Bytes& b) { put(b, get(b, 0xC8, 4) * 2048 + 4, 0xFFFFFFFF, 4); },
       "the chapter search pointer table"},
      {"65535 program chains", false, [](Bytes& b) { put(b, get(b, 0xCC, 4) * 2048, 0xFFFF, 2); },
       "the program chain table"},
      {"a cell table far away", false, [](Bytes& b) { put(b, firstChain(b) + 0xE8, 0xFFF0, 2); },
       "the program chain table"},
      {"a command table with 65535 commands", false,
       [](Bytes& b) { put(b, firstChain(b) + get(b, firstChain(b) + 0xE4, 2), 0xFFFF, 2); },
       "the program chain table"},
  };
  for (const Case& c : cases) {
    Bytes bytes = c.vmg ? manager : titleSet;
    c.damage(bytes);
    const Status status = ifoPartOutsideFile(bytes, c.vmg ? "DVDVIDEO-VMG" : "DVDVIDEO-VTS");
    const std::string outside = c.outside;
    EXPECT_EQ(status.reason(), outside.empty() ? "" : outside + " lies past its end") << c.name;
  }
}

}  // namespace
}  // namespace korvell::dvd
