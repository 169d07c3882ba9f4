// Program entry: one copy per user, the USB driver loaded before the window exists, the companion
// program asked to shut down, then the main window until it closes. With --simulate[=FOLDER] it
// works on a simulated instrument whose state is kept in FOLDER.
#include <QMessageBox>
#include <cstdlib>
#include <exception>
#include <ctime>
#include <memory>

#include "BrammUtils.h"
#include "D2XXUnit.h"
#include "MainWindow.h"
#include "ProgramFolders.h"
#include "SimInstrumentStore.h"
#include "SimulatorWindow.h"
#include "UdevMonitor.h"
#include "USBSPI.h"
#include "VeltraApplication.h"

namespace {
constexpr const char* SimulateOption = "--simulate";

struct tOptions {
    bool Simulate = false;
    std::string SimulatorFolder;
};

tOptions ParseOptions(const QStringList& Arguments) {
    tOptions options;
    for (const QString& a : Arguments.mid(1)) {
        if (a == SimulateOption) {
            options.Simulate = true;
        } else if (a.startsWith(QString(SimulateOption) + "=")) {
            options.Simulate = true;
            options.SimulatorFolder = a.mid(int(std::strlen(SimulateOption)) + 1).toStdString();
        }
    }
    if (options.Simulate && options.SimulatorFolder.empty()) options.SimulatorFolder = DefaultSimulatorFolder();
    return options;
}
}  // namespace

int main(int argc, char** argv) {
    tVeltraApplication app(argc, argv);
    app.setApplicationName("Veltra Update Utility 3");
    const tOptions options = ParseOptions(app.arguments());

    const auto instanceLock = TakeSingleInstanceLock();
    if (!instanceLock) return 0;  // another copy is running: leave quietly

    tSimulatedBus bus;
    std::shared_ptr<tSimulatedInstrument> instrument;
    if (options.Simulate) {
        instrument = bus.AddInstrument();
        (void)LoadInstrument(*instrument, options.SimulatorFolder);
        bus.Plug(instrument);
        Load_Backend_USB_Driver(&bus, tUSBDriverKind::Simulated);
    } else {
        Load_USB_Driver_Library();
    }

    tMainWindow window;
    ShutDownCompanionProgram();
    const std::string applicationDir = IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath().toStdString());
    window.Form().FormCreate(applicationDir, LogFolder(applicationDir), std::time(nullptr));

    std::unique_ptr<tSimulatorWindow> simulator;
    if (options.Simulate) simulator = std::make_unique<tSimulatorWindow>(bus, instrument, options.SimulatorFolder);

    app.CrashHook.LogFileName = window.Form().LogFileName();
    InstallCrashDialogs(app.CrashHook);
    app.CrashHook.EndProgram = [&simulator](int Code) {
        if (simulator) simulator->Save();
        std::exit(Code);
    };
    // An error that escapes everything else, outside any event handler, still reaches the hook.
    static tCrashReportHook* hook = &app.CrashHook;
    std::set_terminate([] {
        if (std::current_exception()) {
            try {
                std::rethrow_exception(std::current_exception());
            } catch (...) {
                hook->HandleCurrentException();
            }
        }
        std::abort();
    });
    USBErrorMessageHook = [&window](const std::string& Message) {
        QMessageBox::critical(&window, "Error", QString::fromStdString(Message));
    };
    USBSPIMessageHook = USBErrorMessageHook;

    auto deviceChange = [&window] { window.Form().WMDeviceChange(TVeltraCommsUtilityForm::DBT_DEVNODESCHANGED); };
    std::unique_ptr<tUdevMonitor> monitor;
    if (options.Simulate)
        bus.OnDeviceChange = deviceChange;
    else
        monitor = std::make_unique<tUdevMonitor>(deviceChange);

    window.show();
    if (simulator) {
        simulator->move(window.frameGeometry().topRight() + QPoint(16, 0));
        simulator->show();
    }
    const int result = app.exec();
    bus.OnDeviceChange = nullptr;
    Unload_USB_Driver_Library();
    return result;
}
