#include "analysis/subpicture.h"

namespace korvell {

void analyseSubpicture(const AnalyserWindow& w, AnalyserOutput& out) {
  if (w.length == 0) return;
  // An 8-bit RLE unit opens with a 32-bit size, whose top bytes are zero for any real unit;
  // a 2-bit unit opens with a 16-bit size, never zero.
  const bool eightBit = w.buffer[w.start] == 0 && w.buffer[w.start + 1] == 0;
  out.console.log(eightBit ? "   Format = [bl]8bitRLE[/bl]" : "   Format = [bl]2bitRLE[/bl]");
}

}  // namespace korvell
