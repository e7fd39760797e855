#include "runs/run_report.h"

#include "engine/stream_kinds.h"
#include "report/markup.h"
#include "runs/file_set.h"
#include "runs/output_forms.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

int tableSlots(Family family) {
  return family == Family::Subpicture ? kSubTableSlots : 16;
}

int32_t registryId(const RunState& state, Family family, int slot) {
  switch (family) {
    case Family::Video:
      return state.registry.videoIds[static_cast<size_t>(slot)];
    case Family::Audio:
      return state.registry.audioIds[static_cast<size_t>(slot)];
    case Family::Subpicture:
      break;
  }
  return state.registry.subIds[static_cast<size_t>(slot)];
}

bool hasBox(Family family, int slot, const StreamKindInfo& kind) {
  switch (family) {
    case Family::Video:
      return slot < kVideoSlots;
    case Family::Audio:
      return slot < kAudioSlots;
    case Family::Subpicture:
      break;
  }
  return kind.selectable && slot < kSubSlots;
}

}  // namespace

RunReport buildRunReport(const RunState& state) {
  RunReport report;
  report.files = state.results.scannedFiles;
  report.baseName = state.baseName;
  report.secondFile = state.secondFile;
  for (const ScannedFile& file : state.results.scannedFiles)
    report.fastCheckStopped = report.fastCheckStopped || file.fastCheckStopped;
  if (!state.results.scannedFiles.empty()) {
    report.systemHeader = state.results.scannedFiles.front().systemHeader;
    report.navigation = state.results.scannedFiles.front().navigation;
  }
  const bool audioObject = isAudioObject(state.sourcePath);

  for (const Family family : {Family::Video, Family::Audio, Family::Subpicture}) {
    for (int slot = 0; slot < tableSlots(family); ++slot) {
      const StreamDetails& details = state.results.details(family, slot);
      const int32_t id = details.id != -1 ? details.id : registryId(state, family, slot);
      const StreamKindInfo* kind = registeredKind(family, id, audioObject);
      if (kind == nullptr) continue;
      ReportStream stream;
      stream.family = family;
      stream.slot = slot;
      const auto byte = static_cast<uint8_t>(id);
      switch (kind->space) {
        case IdSpace::StreamId:
          stream.streamId = byte;
          break;
        case IdSpace::Extension:
          stream.streamId = kExtendedStreamId;
          stream.substreamId = byte;
          break;
        case IdSpace::Substream:
          stream.streamId = kPrivateStream1;
          stream.substreamId = byte;
          break;
      }
      stream.codecName = kind->codecName;
      if (hasBox(family, slot, *kind)) {
        const int number = slotNumber({family, slot});
        stream.box = slotName({family, slot});
        stream.label = state.selection.streamLabel[static_cast<size_t>(number)];
        stream.selected = state.selection.selected[static_cast<size_t>(number)];
        stream.files = state.written.streams[static_cast<size_t>(number)];
        if (!stream.files.empty()) stream.file = stream.files.front().path;
      }
      const StreamTimes& times = state.results.times(family, slot);
      stream.firstPts = times.firstPts;
      if (!report.fastCheckStopped) stream.lastPts = times.lastPts;
      stream.delayMs = stream.files.empty()
                           ? state.results.delayMs(family, slot)
                           : fileDelayMs(state, {family, slot}, stream.files.front().form);
      if (family == Family::Subpicture)
        stream.firstEventMs = state.results.firstEventMs(family, slot);
      stream.fields = details.fields;
      for (const std::string& line : details.lines)
        stream.detailLines.push_back(stripMarkup(line));
      report.streams.push_back(std::move(stream));
    }
  }

  for (const ReportStream& stream : report.streams) {
    if (stream.family != Family::Video || stream.slot >= kVideoSlots) continue;
    ReportFrames frames;
    frames.slot = stream.slot;
    const size_t slot = static_cast<size_t>(stream.slot);
    if (state.options.CountFrames) frames.counted = state.results.frameCount[slot];
    const double rate = state.results.frameRate[slot];
    if (rate > 0) frames.frameRate = rate;
    frames.calculated = calculatedFrames(state, stream.slot);
    report.frames.push_back(frames);
  }
  for (const std::vector<OutputFile>& files : state.written.streams)
    report.writtenFiles.insert(report.writtenFiles.end(), files.begin(), files.end());
  report.otherFiles = state.written.others;
  report.writtenFiles.insert(report.writtenFiles.end(), report.otherFiles.begin(),
                             report.otherFiles.end());
  return report;
}

}  // namespace korvell
