#include "SimulatorWindow.h"

#include <QGridLayout>
#include <QPushButton>

namespace {
constexpr int SaveEveryMs = 2000;
constexpr tSimScenario Scenarios[] = {tSimScenario::UpToDate, tSimScenario::NeedsEveryUpdate,
                                      tSimScenario::InterruptedUpdate};
}  // namespace

tSimulatorWindow::tSimulatorWindow(tSimulatedBus& Bus, std::shared_ptr<tSimulatedInstrument> Instrument,
                                   std::string StateFolder)
    : FBus(Bus), FInstrument(std::move(Instrument)), FStateFolder(std::move(StateFolder)) {
    setWindowTitle("Simulated Veltra");
    auto* layout = new QGridLayout(this);
    FState = new QLabel(this);
    layout->addWidget(FState, 0, 0, 1, 2);
    auto button = [&](const char* Text, int Row, int Column, std::function<void()> Action) {
        auto* b = new QPushButton(Text, this);
        connect(b, &QPushButton::clicked, this, [this, Action] {
            Action();
            Save();
            Refresh();
        });
        layout->addWidget(b, Row, Column);
    };
    button("Plug in", 1, 0, [this] { FBus.Plug(FInstrument); });
    button("Unplug", 1, 1, [this] { FBus.Unplug(FInstrument); });
    button("Switch on", 2, 0, [this] { FInstrument->PowerOn(); });
    button("Switch off", 2, 1, [this] { FInstrument->PowerOff(); });
    FScenario = new QComboBox(this);
    for (tSimScenario s : Scenarios) FScenario->addItem(ScenarioName(s));
    layout->addWidget(FScenario, 3, 0);
    button("Set state", 3, 1, [this] { ApplyScenario(*FInstrument, Scenarios[FScenario->currentIndex()]); });
    layout->addWidget(new QLabel(QString("State kept in %1").arg(QString::fromStdString(FStateFolder)), this), 4, 0, 1, 2);

    // What the utility does to the instrument is kept too, as a real instrument keeps it.
    FSaveTimer.setInterval(SaveEveryMs);
    connect(&FSaveTimer, &QTimer::timeout, this, [this] {
        Save();
        Refresh();
    });
    FSaveTimer.start();
    Refresh();
}

tSimulatorWindow::~tSimulatorWindow() { Save(); }

void tSimulatorWindow::Save() { (void)SaveInstrument(*FInstrument, FStateFolder); }

void tSimulatorWindow::Refresh() {
    const auto& v = FInstrument->MainPic.State.Versions;
    auto text = [](const std::array<uint8_t, 4>& x) {
        return QString("%1.%2.%3.%4").arg(x[0]).arg(x[1]).arg(x[2]).arg(x[3]);
    };
    tFtdiEepromSettings settings;
    const bool highCurrent = FInstrument->Eeprom.Decode(settings) && settings.BIsHighCurrent;
    FState->setText(QString("%1 %2, %3\nProject %4, main PIC %5, keypad %6, database PIC %7\nUSB channel B high current: %8")
                        .arg(QString::fromStdString(FInstrument->SerialStem))
                        .arg(FInstrument->Plugged ? "plugged in" : "unplugged")
                        .arg(FInstrument->PoweredOn() ? "switched on" : "switched off")
                        .arg(text(v.Project), text(v.MainPic), text(v.KeypadPic), text(v.DatabasePic))
                        .arg(highCurrent ? "yes" : "no"));
}
