#include "engine/raw_outputs.h"

#include <utility>

namespace korvell {

RawOutput::RawOutput(std::unique_ptr<ByteSink> sink, std::string format)
    : owned_(std::move(sink)), sink_(owned_.get()), format_(std::move(format)) {}

RawOutput::RawOutput(ByteSink& sink, std::string format)
    : sink_(&sink), format_(std::move(format)) {}

Status RawOutput::piece(const uint8_t* data, size_t size, const PieceContext&) {
  return sink_->write(data, size);
}

Status RawOutput::finish() {
  if (finished_) return sink_->status();
  finished_ = true;
  return sink_->close();
}

std::vector<OutputFile> RawOutput::files() const {
  return {{sink_->path(), format_}};
}

SupRecordOutput::SupRecordOutput(std::unique_ptr<ByteSink> sink, uint32_t firstPtsMin)
    : raw_(std::move(sink), "sup"), firstPtsMin_(firstPtsMin) {}

SupRecordOutput::SupRecordOutput(ByteSink& sink, uint32_t firstPtsMin)
    : raw_(sink, "sup"), firstPtsMin_(firstPtsMin) {}

Status SupRecordOutput::piece(const uint8_t* data, size_t size, const PieceContext& context) {
  if (context.pts) {
    const uint32_t time = *context.pts - firstPtsMin_;
    const uint8_t header[10] = {'S',
                                'P',
                                static_cast<uint8_t>(time),
                                static_cast<uint8_t>(time >> 8),
                                static_cast<uint8_t>(time >> 16),
                                static_cast<uint8_t>(time >> 24),
                                0,
                                0,
                                0,
                                0};
    if (Status written = raw_.piece(header, sizeof header, context); !written.ok()) return written;
  }
  return raw_.piece(data, size, context);
}

}  // namespace korvell
