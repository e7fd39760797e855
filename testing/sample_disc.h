// The sample disc: a small but complete HD DVD folder built from the encoder samples in
// testdata/, for the first run of the program, the end-to-end tests and the benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvell::testing {

/// One elementary stream of the sample disc and the bytes a demux of it must give.
struct SampleStream {
  std::string label;           ///< the stream label a Read run gives it ("DD+.stream.00")
  std::string extension;       ///< the default output extension of its family
  std::vector<uint8_t> bytes;  ///< the elementary stream, or the ".sup" records of a subpicture
};

/// One EVOBU as a time map lists it: its size in 2,048-byte packs and its play time in fields.
struct Evobu {
  uint32_t packs = 0;
  uint32_t fields = 0;
};

/// The bytes of an HD DVD time map of one EVO: "HDDVD_TMAP00", a contiguous advanced map
/// (TMAP_TY 0x2000) with one table at byte 416 for EVOB `evobIndex`, one entry per EVOBU,
/// padded to whole sectors.
std::vector<uint8_t> timeMapBytes(const std::vector<Evobu>& evobus, uint16_t evobIndex = 1);

/// Writes root/HVDVD_TS/FEATURE_1.EVO and FEATURE_2.EVO, each beside its time map (.MAP), the
/// title set information HVA00001.VTI (an identifier only) and its .BUP, and
/// root/ADV_OBJ/VPLST000.XPL. The title carries VC-1 video (extended stream id 0x55), E-AC-3
/// (0xC0), TrueHD (0xB1), DTS (0x8A) and subpictures 0x20 and 0x21, in 2,048-byte packs; the
/// files are cut into EVOBUs of half a second, each opened by a navigation pack that gives the
/// file's first and last video time; the first one also holds the system header. The first file
/// holds the first half of every stream and the second file the rest. With feature1Size
/// above its natural size, FEATURE_1.EVO is filled up to that size (rounded up to whole
/// packs) with the same streams again, later in time. Returns false and sets *error when a
/// sample cannot be read or a file cannot be written.
bool writeSampleDisc(const std::string& root, const std::string& testdataDir, uint64_t feature1Size,
                     std::string* error);

/// Writes the HD DVD test disc: in root/HVDVD_TS, INTRO.EVO (the first of the three repeats of
/// every sample), FEATURE_1.EVO (all three, one EVOBU each) and FEATURE_2.EVO (the last one),
/// each with its time map, and HVA00001.VTI and .BUP; in root/ADV_OBJ, VPLST000.XPL with a
/// first-play title (INTRO), title 1 "Feature" (the middle EVOBU of FEATURE_1, then the whole
/// of FEATURE_2; a track list with languages, descriptions and a forced subtitle; named and
/// unnamed chapters) and title 2 "Extras" (the whole of FEATURE_1), and VPLST001.XPL, a
/// selector without a clip. Returns false and sets *error when a sample cannot be read or a
/// file cannot be written.
bool writeHdDvdTestDisc(const std::string& root, const std::string& testdataDir,
                        std::string* error);

/// The streams of a disc written with its natural size: what `korvell-cli demux` of
/// FEATURE_1.EVO with its second file must write, stream by stream.
std::vector<SampleStream> sampleDiscStreams(const std::string& testdataDir);

}  // namespace korvell::testing
