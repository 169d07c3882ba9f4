#include "DebugControlsUnit.h"

#include "BrammUtils.h"

void tDebugControls::Output(const std::string& txt, bool alwayslog) {
    if ((alwayslog || FDebuglogtofile) && !FDebugLogFilename.empty()) AppendLineToFile(FDebugLogFilename, txt, true);
}
