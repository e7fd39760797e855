#include "engine/analyser_dispatch.h"

#include "analysis/ac3.h"
#include "analysis/dts.h"
#include "analysis/h264.h"
#include "analysis/lpcm.h"
#include "analysis/mlp.h"
#include "analysis/mpeg2.h"
#include "analysis/subpicture.h"
#include "analysis/vc1.h"

namespace korvell {

void analyse(StreamKind kind, const AnalyserCall& call, Console& console, RunState& state) {
  AnalyserOutput out{console, state.decimalSeparator};
  switch (kind) {
    case StreamKind::Mpeg2:
    case StreamKind::H264:
    case StreamKind::Vc1: {
      // Only the selectable video slots keep a frame rate; any other slot's rate is dropped.
      double unkept = 0;
      double& rate =
          call.slot >= 0 && call.slot < kVideoSlots ? state.frameRate[call.slot] : unkept;
      if (kind == StreamKind::Mpeg2) {
        analyseMpeg2(call.window, call.pts, rate, out);
      } else if (kind == StreamKind::H264) {
        analyseH264(call.window, rate, out);
      } else {
        analyseVc1(call.window, rate, out);
      }
      break;
    }
    case StreamKind::Ac3:
    case StreamKind::Eac3:
      analyseAc3(call.window, call.slot, out);
      break;
    case StreamKind::Dts:
      analyseDts(call.window, out);
      break;
    case StreamKind::Lpcm:
      analyseLpcm(call.window, out);
      break;
    case StreamKind::AobLpcm:
      analyseAobLpcm(call.privateHeader, out);
      break;
    case StreamKind::TrueHd:
    case StreamKind::Mlp:
      analyseMlp(call.window, out);
      break;
    case StreamKind::Subpicture:
      analyseSubpicture(call.window, out);
      break;
  }
}

}  // namespace korvell
