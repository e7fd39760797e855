#include "engine/raw_outputs.h"

#include <utility>

namespace korvell {

const char* fileFormName(FileForm form) {
  switch (form) {
    case FileForm::Raw:
      return "raw";
    case FileForm::SupRecords:
      return "sup";
    case FileForm::Wav:
      return "wav";
    case FileForm::Flac:
      return "flac";
    case FileForm::VobSubIndex:
      return "idx";
    case FileForm::VobSubData:
      return "sub";
    case FileForm::Pgs:
      return "pgs";
    case FileForm::ChaptersText:
      return "chapters_txt";
    case FileForm::ChaptersXml:
      return "chapters_xml";
    case FileForm::ProgramStream:
      return "evo";
    case FileForm::Matroska:
      return "mkv";
  }
  return "raw";
}

RawOutput::RawOutput(std::unique_ptr<ByteSink> sink, FileForm form)
    : owned_(std::move(sink)), sink_(owned_.get()), form_(form) {}

RawOutput::RawOutput(ByteSink& sink, FileForm form) : sink_(&sink), form_(form) {}

Status RawOutput::piece(const uint8_t* data, size_t size, const PieceContext&) {
  return sink_->write(data, size);
}

Status RawOutput::finish() {
  if (finished_) return sink_->status();
  finished_ = true;
  return sink_->close();
}

std::vector<OutputFile> RawOutput::files() const {
  return {{sink_->path(), form_}};
}

SupRecordOutput::SupRecordOutput(std::unique_ptr<ByteSink> sink, uint32_t firstPtsMin)
    : raw_(std::move(sink), FileForm::SupRecords), firstPtsMin_(firstPtsMin) {}

SupRecordOutput::SupRecordOutput(ByteSink& sink, uint32_t firstPtsMin)
    : raw_(sink, FileForm::SupRecords), firstPtsMin_(firstPtsMin) {}

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
