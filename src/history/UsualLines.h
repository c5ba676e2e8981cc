#pragma once
#include "TankFileParser.h"

#include "core/Clock.h"

// The reading of usual tank-file lines (TankFileParser's fast path) is built
// for any processor and again for processors with AVX2; the parser takes
// the wider one where the processor has it. Both give the same result.
//
// A reader folds usual lines from `from` on, at most max of them, and returns
// where it stopped; *stopped: at a line it does not take (not at max, near
// the end or at a full history).
using UsualLinesReader = TankFileParser::UsualReader;

// nullptr where the processor or the compiler offers no wider build.
UsualLinesReader WideUsualLinesReader();
