#include "CrashReportHook.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <ctime>
#include <typeinfo>

#include "BrammUtils.h"
#include "LogTime.h"

const char* const CommsIssueMessage =
    "IMPORTANT - Communication issue detected. The software will now close on press of OK. Please disconnect and "
    "reconnect the device followed by restarting the software in order to reload settings.";

namespace {
constexpr const char* CommsTimeoutTypeName = "EUSBCommsTimeoutException";
constexpr int MaxFrames = 48;

std::string Demangle(const char* Name) {
    int status = 0;
    char* plain = abi::__cxa_demangle(Name, nullptr, nullptr, &status);
    std::string text = status == 0 && plain ? plain : Name;
    std::free(plain);
    return text;
}

std::string StackTraceText() {
    void* frames[MaxFrames];
    const int n = ::backtrace(frames, MaxFrames);
    char** symbols = ::backtrace_symbols(frames, n);
    std::string text;
    for (int i = 0; symbols && i < n; ++i) text += std::string(symbols[i]) + "\n";
    std::free(symbols);
    return text;
}
}  // namespace

std::string tCrashReport::Text() const {
    return "Time: " + Time + "\nType: " + TypeName + "\nMessage: " + Message + "\n\nStack trace:\n" + StackTrace;
}

tCrashReport CurrentCrashReport() {
    tCrashReport report;
    report.Time = DateTimeText();
    const std::type_info* type = abi::__cxa_current_exception_type();
    report.TypeName = type ? Demangle(type->name()) : "unknown";
    try {
        throw;
    } catch (const std::exception& e) {
        report.Message = e.what();
    } catch (...) {
        report.Message = "(no message)";
    }
    report.StackTrace = StackTraceText();
    return report;
}

std::string tCrashReportHook::BugReportFileName() const {
    if (LogFileName.empty()) return GetTempFolder() + "VeltraUtility_3_bugreport.txt";
    const size_t dot = LogFileName.rfind(".log");
    return (dot == std::string::npos ? LogFileName : LogFileName.substr(0, dot)) + "_bugreport.txt";
}

void tCrashReportHook::SaveReport(const tCrashReport& Report) const {
    const std::string text = Report.Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        AppendLineToFile(BugReportFileName(), std::string_view(text).substr(start, end - start), true);
        start = end + 1;
    }
}

void tCrashReportHook::HandleCurrentException() {
    const tCrashReport report = CurrentCrashReport();
    if (report.TypeName == CommsTimeoutTypeName) {
        SaveReport(report);
        if (ShowCommsFailure) ShowCommsFailure(CommsIssueMessage);
        if (EndProgram) EndProgram(1);
        return;
    }
    const bool end = ShowStandardReport ? ShowStandardReport(report) : true;
    if (end && EndProgram) EndProgram(1);
}
