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

void analyse(Analyser analyser, const AnalyserCall& call, Console& console, RunState& state,
             FieldSink* fields) {
  AnalyserOutput out{console, state.decimalSeparator, fields};
  switch (analyser) {
    case Analyser::None:
      break;
    case Analyser::Mpeg2:
    case Analyser::H264:
    case Analyser::Vc1: {
      // Only the selectable video slots keep a frame rate; any other slot's rate is dropped.
      double unkept = 0;
      double& rate =
          call.slot >= 0 && call.slot < kVideoSlots ? state.frameRate[call.slot] : unkept;
      if (analyser == Analyser::Mpeg2) {
        analyseMpeg2(call.window, call.pts, rate, out);
      } else if (analyser == Analyser::H264) {
        analyseH264(call.window, rate, out);
      } else {
        analyseVc1(call.window, rate, out);
      }
      break;
    }
    case Analyser::Ac3:
      analyseAc3(call.window, call.slot, out);
      break;
    case Analyser::Dts:
      analyseDts(call.window, out);
      break;
    case Analyser::Lpcm:
      analyseLpcm(call.window, out);
      break;
    case Analyser::AobLpcm:
      analyseAobLpcm(call.privateHeader, out);
      break;
    case Analyser::Mlp:
      analyseMlp(call.window, out);
      break;
    case Analyser::Subpicture:
      analyseSubpicture(call.window, out);
      break;
  }
}

}  // namespace korvell
