// The main window's log writer: the bare message text, one CR LF line each, into the start's log file.
#pragma once

#include <string>

class tDebugControls {
public:
    void Output(const std::string& txt, bool alwayslog = false);

    bool FDebuglogtofile = false;
    bool FDebuglogtowindow = false;  // kept; it has no effect on output
    std::string FDebugLogFilename;
};
