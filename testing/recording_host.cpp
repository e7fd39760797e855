#include "testing/recording_host.h"

namespace korvell::testing {

void RecordingHost::status(std::string_view text, int panel) {
  statusTexts[panel == 0 ? 0 : 1].emplace_back(text);
}

void RecordingHost::processEvents() {
  ++eventPoints;
  if (onEvents) onEvents(eventPoints);
}

bool RecordingHost::ask(std::string_view question) {
  questions.emplace_back(question);
  return answer;
}

std::string RecordingHost::transcript() const {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace korvell::testing
