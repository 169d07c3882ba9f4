// The real window on Qt's offscreen platform, with the simulated instrument plugged in: it is
// found, "Start" is pressed, and the run ends as it should. Screenshots are saved as artefacts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSysInfo>
#include <filesystem>

#include "Clock.h"
#include "D2XXUnit.h"
#include "MainWindow.h"
#include "ProgramFolders.h"
#include "SimulatedBus.h"
#include "support/TempDir.h"

#ifndef VELTRA_ARTEFACTS
#error "VELTRA_ARTEFACTS must name the folder for screenshots"
#endif

namespace {

bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!Condition() && timer.elapsed() < TimeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Condition();
}

void SaveScreenshot(QWidget& Window, const std::string& Name) {
    std::filesystem::create_directories(VELTRA_ARTEFACTS);
    EXPECT_TRUE(Window.grab().save(QString::fromStdString(std::string(VELTRA_ARTEFACTS) + "/" + Name)));
}

}  // namespace

TEST(MainWindowGui, StartOnASimulatedInstrumentRunsToTheEnd) {
    tVirtualClock clock;  // the run's pauses pass at once; the window's timers keep real time
    tScopedClock useClock(clock);
    tSimulatedBus bus;
    auto veltra = bus.AddInstrument();
    bus.Plug(veltra);
    Load_Backend_USB_Driver(&bus, tUSBDriverKind::Simulated);
    tTempDir dir;

    tMainWindow window;
    window.Form().FormCreate(dir.Path.string(), dir.Path.string(), std::time(nullptr));
    bus.OnDeviceChange = [&] { window.Form().WMDeviceChange(TVeltraCommsUtilityForm::DBT_DEVNODESCHANGED); };
    window.show();
    EXPECT_EQ(window.Label1()->text(), "Please connect your Veltra to the PC.");
    EXPECT_FALSE(window.StartButton()->isEnabled());

    ASSERT_TRUE(WaitFor([&] { return window.StartButton()->isEnabled(); }, 5000));
    EXPECT_EQ(window.Label1()->text(), "Veltra Connected. Please press the Start button below.");
    SaveScreenshot(window, "veltra-connected.png");

    window.StartButton()->click();
    EXPECT_EQ(window.Label1()->text(), "Please disconnect your Veltra.");
    EXPECT_FALSE(window.StartButton()->isEnabled());
    EXPECT_EQ(window.Label3()->text(), "");
    SaveScreenshot(window, "run-finished.png");

    const std::string log = ReadFileText(window.Form().LogFileName());
    for (const char* line : {"Veltra connected\r\n", "High current updated\r\n", "Process update finished\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    tFtdiEepromSettings settings;
    ASSERT_TRUE(veltra->Eeprom.Decode(settings));
    EXPECT_TRUE(settings.BIsHighCurrent);

    // Unplugging now shows it at once.
    bus.Unplug(veltra);
    ASSERT_TRUE(WaitFor([&] { return window.Label1()->text() == "Veltra Disconnected."; }, 3000));
    bus.OnDeviceChange = nullptr;
    Unload_USB_Driver_Library();
}

TEST(SingleInstance, SecondCopyIsRefusedAndACrashedCopyDoesNotBlock) {
    tTempDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.Path.c_str());
    {
        auto first = TakeSingleInstanceLock();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(TakeSingleInstanceLock(), nullptr);
    }
    EXPECT_NE(TakeSingleInstanceLock(), nullptr);
    // A copy that crashed leaves its lock file behind, naming a process that is gone.
    runtime.Write("VeltraUtility_3.lock", "999999\nveltra-update\n" + QSysInfo::machineHostName().toStdString() + "\n");
    EXPECT_NE(TakeSingleInstanceLock(), nullptr);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
