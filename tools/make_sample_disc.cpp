// Writes the sample HD DVD folder: make_sample_disc ROOT [SIZE] [TESTDATA]
// SIZE is the size of HVDVD_TS/FEATURE_1.EVO in bytes, with an optional K, M or G suffix.
// make_sample_disc --titles ROOT [TESTDATA] writes the HD DVD test disc instead: several EVOs
// with time maps, two playlists and titles whose clips start inside their EVOs.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing/sample_disc.h"

namespace {

bool parseSize(const std::string& text, uint64_t* size) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  const std::string suffix(end);
  uint64_t unit = 1;
  if (suffix == "K")
    unit = 1ULL << 10;
  else if (suffix == "M")
    unit = 1ULL << 20;
  else if (suffix == "G")
    unit = 1ULL << 30;
  else if (!suffix.empty())
    return false;
  *size = value * unit;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && argc <= 4 && std::string(argv[1]) == "--titles") {
    std::string error;
    if (!korvell::testing::writeHdDvdTestDisc(argv[2], argc == 4 ? argv[3] : KORVELL_TESTDATA_DIR,
                                              &error)) {
      std::fprintf(stderr, "make_sample_disc: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s\n", argv[2]);
    return 0;
  }
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr,
                 "usage: make_sample_disc ROOT [SIZE[K|M|G]] [TESTDATA]\n"
                 "       make_sample_disc --titles ROOT [TESTDATA]\n");
    return 2;
  }
  uint64_t size = 0;
  if (argc >= 3 && !parseSize(argv[2], &size)) {
    std::fprintf(stderr, "make_sample_disc: not a size: %s\n", argv[2]);
    return 2;
  }
  const std::string testdata = argc == 4 ? argv[3] : KORVELL_TESTDATA_DIR;
  std::string error;
  if (!korvell::testing::writeSampleDisc(argv[1], testdata, size, &error)) {
    std::fprintf(stderr, "make_sample_disc: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s/HVDVD_TS/FEATURE_1.EVO\n", argv[1]);
  return 0;
}
