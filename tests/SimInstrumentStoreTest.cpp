#include <gtest/gtest.h>

#include "SimInstrumentStore.h"
#include "support/TempDir.h"

TEST(SimInstrumentStore, StateSurvivesARestartOfTheProgram) {
    tTempDir dir;
    tSimulatedInstrument before;
    ApplyScenario(before, tSimScenario::NeedsEveryUpdate);
    before.MainPic.State.ProgramState = 10;
    before.GraphicsPicMemory.Flash[0x1234] = 0x42;
    ASSERT_TRUE(SaveInstrument(before, dir.Path.string()));

    tSimulatedInstrument after;
    ASSERT_TRUE(LoadInstrument(after, dir.Path.string()));
    EXPECT_EQ(after.Eeprom.Bytes, before.Eeprom.Bytes);
    EXPECT_EQ(after.GraphicsPicMemory.Flash, before.GraphicsPicMemory.Flash);
    EXPECT_EQ(after.MainPic.State.ProgramState, 10);
    EXPECT_EQ(after.MainPic.State.TopLevelVersion, "2.5.0.0");
    EXPECT_EQ(after.MainPic.State.Versions.KeypadPic, (std::array<uint8_t, 4>{5, 0, 0, 10}));

    tSimulatedInstrument fresh;
    EXPECT_FALSE(LoadInstrument(fresh, (dir.Path / "empty").string()));
}

TEST(SimInstrumentStore, InterruptedUpdateLeavesASilentMainPicAndItsRecord) {
    tSimulatedInstrument veltra;
    ApplyScenario(veltra, tSimScenario::InterruptedUpdate);
    EXPECT_FALSE(veltra.MainPic.Answering);
    const auto record = veltra.Eeprom.UserArea();
    ASSERT_GE(record.size(), 13u);
    EXPECT_EQ(record[0], 0x01);  // PCB id BA9876543210 packed
    EXPECT_EQ(record[5], 0xAB);
    EXPECT_EQ(record[6], 0x55);
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 7, record.begin() + 13), (std::vector<uint8_t>{2, 5, 0, 0, 1, 2}));

    ApplyScenario(veltra, tSimScenario::UpToDate);
    EXPECT_TRUE(veltra.MainPic.Answering);
    EXPECT_EQ(veltra.Eeprom.UserArea()[6], 0x00);
}
