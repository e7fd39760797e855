// The one entry to the stream analysers: which analyser reads a stream comes from the table of
// stream kinds; what it finds comes back as a value for the walker to report and keep.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Runs `analyser` on the first payload piece of a stream and returns its findings. Real
/// numbers in the lines use `decimalSeparator`.
AnalyserFindings analyse(Analyser analyser, const AnalyserCall& call, char decimalSeparator);

}  // namespace korvell
