#include "BrammUtilsDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

std::string GetDesktopFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop.toStdString();
    QString home = QDir::homePath();
    if (!home.isEmpty() && QFileInfo(home).isDir()) return home.toStdString();
    return "/";
}

bool DeleteFolder(const std::string& Folder) {
    try {
        QString path = QString::fromStdString(Folder);
        if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
        return QFile::moveToTrash(path);
    } catch (...) {
        return false;
    }
}
