// The one top-level handler for errors nothing else handled: a broken instrument link ends the
// program after its report is saved and the operator is told; any other error gets the standard
// report, which the operator may save, and the program goes on or ends as the operator chooses.
#pragma once

#include <exception>
#include <functional>
#include <string>

struct tCrashReport {
    std::string Time;
    std::string TypeName;
    std::string Message;
    std::string StackTrace;
    std::string Text() const;
};

// The report of the exception being handled (call inside a catch block).
tCrashReport CurrentCrashReport();

class tCrashReportHook {
public:
    // The bug-report file beside the log file (or in the temporary folder without one).
    std::string LogFileName;
    // Shows the communication message and returns when the operator pressed OK.
    std::function<void(const std::string& Message)> ShowCommsFailure;
    // Shows the standard report window; true when the operator chose to end the program.
    std::function<bool(const tCrashReport& Report)> ShowStandardReport;
    // Ends the program at once.
    std::function<void(int Code)> EndProgram;

    // Call inside a catch block.
    void HandleCurrentException();
    std::string BugReportFileName() const;
    void SaveReport(const tCrashReport& Report) const;
};

extern const char* const CommsIssueMessage;
