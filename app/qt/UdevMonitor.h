// USB arrival and removal notices from udev, handed on as device-change notices.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

struct udev;
struct udev_monitor;

class tUdevMonitor : public QObject {
    Q_OBJECT
public:
    explicit tUdevMonitor(std::function<void()> OnDeviceChange);
    ~tUdevMonitor() override;
    bool Active() const { return FNotifier != nullptr; }

private:
    std::function<void()> FOnDeviceChange;
    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    std::unique_ptr<QSocketNotifier> FNotifier;
};
