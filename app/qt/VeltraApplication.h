// The application object: every error that an event handler leaves unhandled reaches the crash
// hook here, with its type.
#pragma once

#include <QApplication>

#include "CrashReportHook.h"

class tVeltraApplication : public QApplication {
public:
    tVeltraApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}
    bool notify(QObject* Receiver, QEvent* Event) override;

    tCrashReportHook CrashHook;
};

// The Qt dialogs of the crash hook: the communication message, and the standard report window
// with a button to save the report.
void InstallCrashDialogs(tCrashReportHook& Hook);
