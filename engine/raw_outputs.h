// The two outputs of the Demux run's default forms: the payload bytes as they stand, and
// subpictures as ".sup" records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_io.h"
#include "engine/stream_output.h"

namespace korvell {

/// Appends every piece to one sink, unchanged.
class RawOutput final : public StreamOutput {
 public:
  /// Owns the sink and closes it in finish(). `form` is the form its file holds.
  explicit RawOutput(std::unique_ptr<ByteSink> sink, FileForm form = FileForm::Raw);
  /// Borrows a sink that must outlive the output (tests, benchmarks); finish() closes it.
  explicit RawOutput(ByteSink& sink, FileForm form = FileForm::Raw);
  Status piece(const uint8_t* data, size_t size, const PieceContext& context) override;
  Status finish() override;
  std::vector<OutputFile> files() const override;
  const std::string& failedPath() const override { return sink_->path(); }
  const Status& status() const override { return sink_->status(); }

 private:
  std::unique_ptr<ByteSink> owned_;
  ByteSink* sink_;
  FileForm form_;
  bool finished_ = false;
};

/// Subpictures as ".sup" records: each packet whose own header carries a PTS starts a record
/// of ten bytes, "SP", the PTS less the earliest audio or video PTS of the last Read run
/// (32-bit, little-endian) and four zero bytes; every piece of the packet follows it, and a
/// packet without a PTS of its own goes on the record before it.
class SupRecordOutput final : public StreamOutput {
 public:
  SupRecordOutput(std::unique_ptr<ByteSink> sink, uint32_t firstPtsMin);
  /// Borrows a sink that must outlive the output (tests, benchmarks).
  SupRecordOutput(ByteSink& sink, uint32_t firstPtsMin);
  Status piece(const uint8_t* data, size_t size, const PieceContext& context) override;
  Status finish() override { return raw_.finish(); }
  std::vector<OutputFile> files() const override { return raw_.files(); }
  const std::string& failedPath() const override { return raw_.failedPath(); }
  const Status& status() const override { return raw_.status(); }

 private:
  RawOutput raw_;
  uint32_t firstPtsMin_;
};

}  // namespace korvell
