// What the update workflow needs of the screen. The Qt main window implements it; tests drive the
// workflow headless through a scripted one.
#pragma once

#include <string>

enum class tMessageKind { Error, Confirm, Information };
enum class tMessageButtons { Ok, OkCancel };
enum class tMessageAnswer { Ok, Cancel };

// Titles of the program's message boxes, by kind; arrivals and removals dismiss boxes by title.
inline const char* MessageTitle(tMessageKind Kind) {
    switch (Kind) {
        case tMessageKind::Error: return "Error";
        case tMessageKind::Confirm: return "Confirm";
        case tMessageKind::Information: return "Information";
    }
    return "";
}

class tVeltraView {
public:
    virtual ~tVeltraView() = default;

    virtual void SetLabel1(const std::string& Text) = 0;  // the main message
    virtual void SetLabel2Visible(bool Visible) = 0;      // "DO NOT DISCONNECT"
    virtual void SetLabel3(const std::string& Text) = 0;  // the status line
    virtual void SetProgress(int Percent) = 0;
    virtual void SetButtonsEnabled(bool Enabled) = 0;
    virtual void SetBusyCursor(bool Busy) = 0;
    // Lets the window repaint and runs pending timer ticks, device notices and posted messages.
    virtual void ProcessMessages() = 0;

    virtual tMessageAnswer MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons Buttons) = 0;
    // Closes this program's open message boxes with the given title, as if cancelled.
    virtual void DismissMessageBoxes(const std::string& Title) = 0;
    // The folder the operator chose, or empty when the chooser was cancelled.
    virtual std::string ChooseFolder(const std::string& Caption, const std::string& StartFolder) = 0;

    // The device-poll timer: after Ms milliseconds the view calls the form's Timer1Timer once.
    virtual void StartPollTimer(int Ms) = 0;
    virtual void StopPollTimer() = 0;
    // Posts the private device messages; the view delivers them from its message loop.
    virtual void PostDeviceAdded() = 0;
    virtual void PostDeviceRemoved() = 0;

    // Closes the main window now: the program ends.
    virtual void CloseWindow() = 0;
};
