#include "ProgramFolders.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr const char* DataFolderName = "VeltraUpdateUtility3";
constexpr const char* InstanceName = "VeltraUtility_3";
// The companion program's install folders, in the order they are tried.
constexpr const char* CompanionFolders[] = {"/opt/Corvalen/Pellar/", "/usr/local/Corvalen/Pellar/"};
constexpr const char* CompanionShutdownHelper = "ShutPellar";

std::string UserDataFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = QDir(base.isEmpty() ? QDir::homePath() : base).filePath(DataFolderName);
    QDir().mkpath(folder);
    return folder.toStdString();
}
}  // namespace

std::string LogFolder(const std::string& ApplicationDir) {
    if (!ApplicationDir.empty() && ::access(ApplicationDir.c_str(), W_OK) == 0) return ApplicationDir;
    return UserDataFolder();
}

std::string DefaultSimulatorFolder() { return UserDataFolder() + "/simulated-veltra"; }

std::unique_ptr<QLockFile> TakeSingleInstanceLock() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QString(InstanceName) + ".lock"));
    lock->setStaleLockTime(0);  // only a lock whose process is gone is stale
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

void ShutDownCompanionProgram() {
    for (const char* folder : CompanionFolders) {
        if (!QFileInfo(folder).isDir()) continue;
        QProcess::startDetached(QString(folder) + CompanionShutdownHelper, {});
        return;
    }
}
