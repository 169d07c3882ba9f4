// The update workflow headless: the main window's logic on a scripted view, the simulated
// instrument on the bus, virtual time, and the log file read back line by line.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "D2XXUnit.h"
#include "SimulatedBus.h"
#include "VeltraCommsUtilityForm.h"
#include "support/ScriptedView.h"
#include "support/LogLines.h"
#include "support/TempDir.h"

class tWorkflowTest : public ::testing::Test {
protected:
    tVirtualClock VirtualClock;
    tScopedClock UseVirtualClock{VirtualClock};
    tSimulatedBus Bus;
    std::shared_ptr<tSimulatedInstrument> Veltra;
    tTempDir Dir;
    tScriptedView View;
    std::unique_ptr<TVeltraCommsUtilityForm> Form;
    std::time_t StartTime = 1796000000;  // a fixed start, so the log name is known

    void SetUp() override {
        Veltra = Bus.AddInstrument();
        Load_Backend_USB_Driver(&Bus, tUSBDriverKind::Simulated);
        Bus.OnDeviceChange = [this] { Form->WMDeviceChange(TVeltraCommsUtilityForm::DBT_DEVNODESCHANGED); };
        Form = std::make_unique<TVeltraCommsUtilityForm>(View);
        View.Form = Form.get();
        Form->FormCreate(Dir.Path.string(), Dir.Path.string(), StartTime);
    }

    void TearDown() override {
        Bus.OnDeviceChange = nullptr;
        Form.reset();
        if (USBDeviceHandle) (void)Close_Current_USB_Device();
        Unload_USB_Driver_Library();
    }

    // Plugs the instrument in and lets the poll find it, as the window does one second after start.
    void PlugInAndPoll() {
        Bus.Plug(Veltra);
        View.FirePollTimer();
    }

    std::vector<std::string> LogLines() const { return LogFileLines(Form->LogFileName()); }
    bool Logged(const std::string& Line) const { return LogHasLine(Form->LogFileName(), Line); }
    // Where a line first stands in the log.
    size_t IndexOf(const std::string& Line) const {
        const auto lines = LogLines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == Line) return i;
        return size_t(-1);
    }
};
