#include "UdevMonitor.h"

#include <libudev.h>

tUdevMonitor::tUdevMonitor(std::function<void()> OnDeviceChange) : FOnDeviceChange(std::move(OnDeviceChange)) {
    FUdev = udev_new();
    if (!FUdev) return;
    FMonitor = udev_monitor_new_from_netlink(FUdev, "udev");
    if (!FMonitor) return;
    udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "usb", "usb_device");
    if (udev_monitor_enable_receiving(FMonitor) < 0) return;
    FNotifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(FMonitor), QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        if (udev_device* device = udev_monitor_receive_device(FMonitor)) udev_device_unref(device);
        if (FOnDeviceChange) FOnDeviceChange();
    });
}

tUdevMonitor::~tUdevMonitor() {
    FNotifier.reset();
    if (FMonitor) udev_monitor_unref(FMonitor);
    if (FUdev) udev_unref(FUdev);
}
