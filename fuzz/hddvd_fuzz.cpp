// The HD DVD disc reading over damaged time maps and playlists: the map parsed alone and cut
// at arbitrary times, then a disc in memory whose playlist and map are the input, read as
// titles and listed. Nothing may crash, every title's byte ranges must lie within its EVO and
// be non-empty, and every message must be one line of well-formed markup.
//
// Input: two bytes (big-endian) give the length of A.MAP, which follows; the rest is
// VPLST000.XPL. A.EVO is 40 packs whose first holds a navigation packet of 1.5 seconds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "disc/hddvd_disc.h"
#include "disc/time_map.h"
#include "fuzz/fuzz_host.h"
#include "runs/titles_run.h"
#include "testing/memory_file_system.h"
#include "testing/ps_writer.h"

using namespace korvell;

namespace {

constexpr size_t kEvoPacks = 40;

std::vector<uint8_t> evo() {
  testing::PsWriter ps;
  ps.packHeader(0).navigationPacket(1, 90000, 90000 + 135000).fillPack();
  while (ps.size() < kEvoPacks * 2048)
    ps.packHeader(0).padding(2048 - testing::PsWriter::kPackHeaderSize);
  return ps.take();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t mapSize = (size_t{data[0]} << 8 | data[1]) % (size - 1);
  const std::vector<uint8_t> map(data + 2, data + 2 + mapSize);
  const std::vector<uint8_t> playlist(data + 2 + mapSize, data + size);

  TimeMap parsed;
  if (const Status read = parseTimeMap(map, &parsed); read.ok()) {
    for (const TimeMapEntry& entry : parsed.entries) {
      if (entry.packs == 0) std::abort();
    }
    const uint64_t end = parsed.packs() * 2048;
    for (uint64_t begin = 0; begin < 300; begin += 37) {
      if (ByteRun run; clipBytes(parsed, begin, begin + 45, &run).ok()) {
        if (run.length == 0 || run.offset + run.length > end || run.offset % 2048 != 0) {
          std::abort();
        }
      }
    }
  } else if (read.reason().empty()) {
    std::abort();
  }

  static const std::vector<uint8_t> kEvo = evo();
  testing::MemoryFileSystem files;
  files.add("/d/HVDVD_TS/A.EVO", kEvo);
  files.add("/d/HVDVD_TS/A.MAP", map);
  files.add("/d/ADV_OBJ/VPLST000.XPL", playlist);
  const HdDvdDisc disc = readHdDvdTitles("/d", files);
  for (const Title& title : disc.titles) {
    for (const FileExtent& extent : title.extents) {
      if (extent.length == 0 || extent.offset + extent.length > kEvo.size()) std::abort();
    }
    for (const TitleStream& stream : title.streams) {
      if (stream.number < 0 || stream.number > 15) std::abort();
    }
  }
  fuzz::QuietHost host;
  titlesRun("/d/HVDVD_TS", host, "", files);
  if (files.openFiles() != 0) std::abort();
  return 0;
}
