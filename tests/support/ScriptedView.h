// A headless stand-in for the main window: it records what the workflow shows, answers message
// boxes and folder choosers from a script, and runs the poll timer and posted messages on the
// shared clock when the workflow pumps messages.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "VeltraCommsUtilityForm.h"
#include "VeltraView.h"

class tScriptedView : public tVeltraView {
public:
    TVeltraCommsUtilityForm* Form = nullptr;

    // What the operator saw, in order: "Label1: ...", "Error: ...", "Confirm: ..." and so on.
    std::vector<std::string> Trace;
    std::string Label1, Label3;
    bool Label2Visible = false, ButtonsEnabled = true, BusyCursor = false, Closed = false;
    int Progress = 0;
    std::deque<tMessageAnswer> Answers;  // Ok when the script runs out
    std::deque<std::string> Folders;
    std::vector<std::string> Dismissed;
    std::function<void(const std::string& Label1)> OnLabel1;

    bool TimerRunning = false;
    uint64_t TimerDueMs = 0;
    int TimerIntervalMs = 0;
    std::deque<bool> Posted;  // true: device added, false: removed

    void SetLabel1(const std::string& Text) override {
        Label1 = Text;
        Trace.push_back("Label1: " + Text);
        if (OnLabel1) OnLabel1(Text);
    }
    void SetLabel2Visible(bool Visible) override { Label2Visible = Visible; }
    void SetLabel3(const std::string& Text) override { Label3 = Text; }
    void SetProgress(int Percent) override { Progress = Percent; }
    void SetButtonsEnabled(bool Enabled) override { ButtonsEnabled = Enabled; }
    void SetBusyCursor(bool Busy) override { BusyCursor = Busy; }

    void ProcessMessages() override {
        DeliverPosted();
        if (TimerRunning && Clock().NowMs() >= TimerDueMs) FirePollTimer();
    }

    tMessageAnswer MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons) override {
        Trace.push_back(std::string(MessageTitle(Kind)) + ": " + Text);
        if (Answers.empty()) return tMessageAnswer::Ok;
        const tMessageAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void DismissMessageBoxes(const std::string& Title) override { Dismissed.push_back(Title); }
    std::string ChooseFolder(const std::string& Caption, const std::string&) override {
        Trace.push_back("ChooseFolder: " + Caption);
        if (Folders.empty()) return "";
        std::string f = Folders.front();
        Folders.pop_front();
        return f;
    }
    void StartPollTimer(int Ms) override {
        TimerRunning = true;
        TimerIntervalMs = Ms;
        TimerDueMs = Clock().NowMs() + uint64_t(Ms);
    }
    void StopPollTimer() override { TimerRunning = false; }
    void PostDeviceAdded() override { Posted.push_back(true); }
    void PostDeviceRemoved() override { Posted.push_back(false); }
    void CloseWindow() override { Closed = true; }

    // The poll as the timer runs it, then the messages it posted.
    void FirePollTimer() {
        TimerRunning = false;
        Form->Timer1Timer();
        DeliverPosted();
    }
    void DeliverPosted() {
        while (!Posted.empty()) {
            const bool added = Posted.front();
            Posted.pop_front();
            if (added)
                Form->WMDeviceAdded();
            else
                Form->WMDeviceRemoved();
        }
    }
    bool Saw(const std::string& Line) const {
        for (const auto& t : Trace)
            if (t == Line) return true;
        return false;
    }
};
