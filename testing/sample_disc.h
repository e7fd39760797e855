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

/// Writes root/HVDVD_TS/FEATURE_1.EVO, root/HVDVD_TS/FEATURE_2.EVO and
/// root/ADV_OBJ/VPLST000.XPL. The title carries VC-1 video (extended stream id 0x55), E-AC-3
/// (0xC0), TrueHD (0xB1), DTS (0x8A) and subpictures 0x20 and 0x21, in 2,048-byte packs; the
/// first pack of each file holds the system header and a navigation packet. The first file
/// holds the first half of every stream and the second file the rest. With feature1Size
/// above its natural size, FEATURE_1.EVO is filled up to that size (rounded up to whole
/// packs) with the same streams again, later in time. Returns false and sets *error when a
/// sample cannot be read or a file cannot be written.
bool writeSampleDisc(const std::string& root, const std::string& testdataDir, uint64_t feature1Size,
                     std::string* error);

/// The streams of a disc written with its natural size: what `korvell-cli demux` of
/// FEATURE_1.EVO with its second file must write, stream by stream.
std::vector<SampleStream> sampleDiscStreams(const std::string& testdataDir);

}  // namespace korvell::testing
