// A simulated instrument's state kept in a folder between starts, as a real instrument keeps it
// between connections: the chip EEPROM, every PIC's memories and the main PIC's identity.
// Also the instrument states a tester can choose from.
#pragma once

#include <string>

#include "SimulatedInstrument.h"

[[nodiscard]] bool SaveInstrument(const tSimulatedInstrument& Instrument, const std::string& Folder);
// False when the folder holds no saved instrument (the instrument is left as it was).
[[nodiscard]] bool LoadInstrument(tSimulatedInstrument& Instrument, const std::string& Folder);

enum class tSimScenario {
    UpToDate,           // nothing for the update to do
    NeedsEveryUpdate,   // USB setting, keypad, main and database PIC all out of date
    InterruptedUpdate,  // a main PIC update was cut off: blank main PIC, update-status record left at 0x55
};

void ApplyScenario(tSimulatedInstrument& Instrument, tSimScenario Scenario);
const char* ScenarioName(tSimScenario Scenario);
