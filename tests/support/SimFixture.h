// A simulated Veltra on the bus, the D2XX layer on the simulated driver, virtual time, and a log
// file whose lines a test can read back without their time stamps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Clock.h"
#include "D2XXUnit.h"
#include "SimulatedBus.h"
#include "TRNCommsUnit.h"
#include "support/LogLines.h"
#include "support/TempDir.h"

// tTRNComms with its waits reachable from tests.
class tTestableTRNComms : public tTRNComms {
public:
    using tTRNComms::WaitForAckByte;
    using tTRNComms::WaitForBytes;
};

class tSimulatedVeltraTest : public ::testing::Test {
protected:
    tVirtualClock VirtualClock;
    tScopedClock UseVirtualClock{VirtualClock};
    tSimulatedBus Bus;
    std::shared_ptr<tSimulatedInstrument> Veltra;
    tTempDir Dir;
    std::string LogFile = Dir / "VeltraUtility_3_test.log";
    std::unique_ptr<tTestableTRNComms> Comms;
    std::vector<std::string> Reports;

    void SetUp() override {
        Veltra = Bus.AddInstrument();
        Bus.Plug(Veltra);
        Load_Backend_USB_Driver(&Bus, tUSBDriverKind::Simulated);
        ShowUSBErrors = true;
        USBErrorMessageHook = [this](const std::string& Message) { Reports.push_back(Message); };
        Comms = NewComms();
    }

    void TearDown() override {
        Comms.reset();
        if (USBDeviceHandle) (void)Close_Current_USB_Device();
        USBErrorMessageHook = nullptr;
        Unload_USB_Driver_Library();
    }

    // A communications object set up for the plugged instrument as the connection check sets it up.
    std::unique_ptr<tTestableTRNComms> NewComms() {
        auto comms = std::make_unique<tTestableTRNComms>();
        comms->SetDebugLogFilename(LogFile);
        comms->SetDebugLogToFile(true);
        comms->FDeviceName = Veltra->SerialStem;
        comms->FDeviceLocation = Veltra->LocationBase;
        comms->FDevicePortAIndex = 0;
        comms->FDevicePortBIndex = 1;
        comms->FIndicateCommsNotOK = false;
        return comms;
    }

    // The log's lines without their "HH:MM:SS: " stamps.
    std::vector<std::string> LogLines() const { return LogFileLines(LogFile); }
    bool Logged(const std::string& Line) const { return LogHasLine(LogFile, Line); }

    size_t CallsOf(const std::string& Name) const {
        size_t n = 0;
        for (const auto& c : Bus.Calls) n += c == Name;
        return n;
    }
};
