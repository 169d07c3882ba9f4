// "Simulated Veltra": the control window of the simulated instrument. Plug it in or out, switch it
// on or off, and choose the state it is in; its state is kept in a folder between starts.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "SimInstrumentStore.h"
#include "SimulatedBus.h"

class tSimulatorWindow : public QWidget {
    Q_OBJECT
public:
    tSimulatorWindow(tSimulatedBus& Bus, std::shared_ptr<tSimulatedInstrument> Instrument, std::string StateFolder);
    ~tSimulatorWindow() override;

    void Save();
    const std::string& StateFolder() const { return FStateFolder; }

private:
    void Refresh();

    tSimulatedBus& FBus;
    std::shared_ptr<tSimulatedInstrument> FInstrument;
    std::string FStateFolder;
    QLabel* FState;
    QComboBox* FScenario;
    QTimer FSaveTimer;
};
