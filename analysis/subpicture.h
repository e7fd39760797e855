// The subpicture coding format check.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Prints "8bitRLE" when buffer[start] and buffer[start + 1] are both zero, else "2bitRLE".
/// The second byte is read even for a one-byte window: it is the next byte of the block or,
/// at the block end, the zero guard after it. An empty window prints nothing.
void analyseSubpicture(const AnalyserWindow& w, AnalyserOutput& out);

}  // namespace korvell
