#include "analysis/dispatch.h"

#include <cmath>
#include <limits>
#include <string>

#include "analysis/ac3.h"
#include "analysis/dts.h"
#include "analysis/h264.h"
#include "analysis/lpcm.h"
#include "analysis/mlp.h"
#include "analysis/mpeg2.h"
#include "analysis/subpicture.h"
#include "analysis/vc1.h"

namespace korvell {

namespace {

// Keeps an analyser's lines and named values.
class FindingsRecorder final : public Console, public FieldSink {
 public:
  explicit FindingsRecorder(AnalyserFindings& findings) : findings_(findings) {}
  void log(std::string_view message) override { findings_.lines.emplace_back(message); }
  void status(std::string_view, int) override {}
  void integerField(std::string_view name, int64_t value) override { add(name, value); }
  void realField(std::string_view name, double value) override { add(name, value); }
  void textField(std::string_view name, std::string_view value) override {
    add(name, std::string(value));
  }

 private:
  void add(std::string_view name, std::variant<int64_t, double, std::string> value) {
    findings_.fields.push_back({std::string(name), std::move(value)});
  }
  AnalyserFindings& findings_;
};

}  // namespace

AnalyserFindings analyse(Analyser analyser, const AnalyserCall& call, char decimalSeparator) {
  AnalyserFindings findings;
  FindingsRecorder recorder(findings);
  AnalyserOutput out{recorder, decimalSeparator, &recorder};
  // The video analysers leave the rate alone when the piece gives none.
  double rate = std::numeric_limits<double>::quiet_NaN();
  switch (analyser) {
    case Analyser::None:
      break;
    case Analyser::Mpeg2:
      analyseMpeg2(call.window, call.pts, rate, out);
      break;
    case Analyser::H264:
      analyseH264(call.window, rate, out);
      break;
    case Analyser::Vc1:
      analyseVc1(call.window, rate, out);
      break;
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
  if (!std::isnan(rate)) findings.frameRate = rate;
  return findings;
}

}  // namespace korvell
