// Run with LD_LIBRARY_PATH naming the folder of a stand-in libftd2xx.so.
#include <gtest/gtest.h>

#include "D2XXUnit.h"

TEST(VendorLibrary, TheLibraryTheLoaderFindsIsTheOneInUse) {
    ShowUSBErrors = false;
    Load_USB_Driver_Library();
    ASSERT_EQ(USBDriverKind, tUSBDriverKind::VendorLibrary);
    EXPECT_STREQ(USBDriverName(), "libftd2xx");
    EXPECT_EQ(GetFTDeviceCount(0, 0), FT_OK);
    EXPECT_EQ(USBDeviceCount, 7u);
    EXPECT_EQ(Open_USB_Device_By_Index(3), FT_OK);
    EXPECT_NE(USBDeviceHandle, nullptr);
    EXPECT_EQ(Close_Current_USB_Device(), FT_OK);
    // Names the stand-in does not export stay empty and simply fail.
    EXPECT_EQ(USBEntryPoints.FT_EE_Read, nullptr);
    EXPECT_NE(Read_USB_Chip_EEPROM(), FT_OK);
    Unload_USB_Driver_Library();
}
