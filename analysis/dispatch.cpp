#include "engine/analyser_dispatch.h"

namespace korvell {

void analyse(StreamKind kind, const AnalyserCall& call, Console& console, RunState& state) {
  AnalyserOutput out{console, state.decimalSeparator};
  (void)call;
  (void)out;
  switch (kind) {
    case StreamKind::Mpeg2:
    case StreamKind::H264:
    case StreamKind::Vc1:
    case StreamKind::Ac3:
    case StreamKind::Eac3:
    case StreamKind::Dts:
    case StreamKind::Lpcm:
    case StreamKind::TrueHd:
    case StreamKind::Mlp:
    case StreamKind::Subpicture:
      break;
  }
}

}  // namespace korvell
