#include "views/CommandState.h"

#include <gtest/gtest.h>

TEST(ServiceSwitches, OnlyTheIntegerOneSwitchesOn) {
    const std::pair<std::optional<std::string_view>, bool> cases[] = {
        {"1", true},   {" 1 ", true},         {"01", true},   {std::nullopt, false}, {"0", false},
        {"2", false},  {"-1", false},         {"", false},    {"abc", false},        {"1.0", false},
        {"1x", false}, {"4294967297", false}, {"true", false}};
    for (const auto& [value, on] : cases)
        EXPECT_EQ(SwitchIsOn(value), on) << (value ? *value : "(missing)");
}

TEST(CommandStates, StartUpShowsServiceItemsOnlyWhenSwitchedOn) {
    const CommandStates plain = StartUpCommands(false, false);
    EXPECT_TRUE(plain.open && plain.filter && plain.savePrint && plain.comRun);
    EXPECT_FALSE(plain.stop || plain.globalPage || plain.importVisible || plain.oemVisible);
    EXPECT_EQ(plain.paging, PageButtons{});
    const CommandStates withImport = StartUpCommands(true, false);
    EXPECT_TRUE(withImport.importVisible);
    EXPECT_FALSE(withImport.oemVisible);
}

TEST(CommandStates, PageSwitchingParksAndRestoresThePagingButtons) {
    CommandStates c = StartUpCommands(false, false);
    PageButtons saved{true, true, true, true}; // overwritten by the first park
    ShownPage page = ShownPage::DataSheet;     // before the window is first shown
    OnTrendDiagramShown(c, saved, page);       // the window opens on the trend diagram
    EXPECT_EQ(page, ShownPage::TrendDiagram);
    EXPECT_EQ(saved, PageButtons{});

    // A load while the trend diagram is shown: no paging button stays on there.
    OnViewsBuilt(c, {false, false, true, true}, true);
    OnFinishViewUpdate(c, saved, page);
    EXPECT_EQ(c.paging, PageButtons{});
    EXPECT_EQ(saved, (PageButtons{false, false, true, true}));

    OnDataSheetShown(c, saved, page);
    EXPECT_EQ(c.paging, (PageButtons{false, false, true, true}));
    c.paging = {true, true, true, true}; // paged forward
    OnTrendDiagramShown(c, saved, page);
    EXPECT_EQ(c.paging, PageButtons{});
    EXPECT_TRUE(c.savePrint);
    OnGlobalFigureShown(c, saved, page); // from the trend diagram: keeps the parked states
    EXPECT_FALSE(c.savePrint || c.filter);
    OnDataSheetShown(c, saved, page);
    EXPECT_EQ(c.paging, (PageButtons{true, true, true, true}));
    EXPECT_TRUE(c.savePrint);
}

TEST(CommandStates, FinishOnTheDataSheetKeepsNextAndLast) {
    CommandStates c;
    PageButtons saved;
    OnViewsBuilt(c, {false, false, true, true}, false);
    OnFinishViewUpdate(c, saved, ShownPage::DataSheet);
    EXPECT_EQ(c.paging, (PageButtons{false, false, true, true}));
}

TEST(CommandStates, RealTimeStartAndStop) {
    CommandStates c = StartUpCommands(true, true);
    PageButtons saved{false, false, true, true};
    c.paging = saved;
    OnRealTimeStarted(c, saved);
    EXPECT_FALSE(c.open || c.importEnabled || c.filter || c.comRun || c.oemEnabled);
    EXPECT_TRUE(c.stop && c.globalPage);
    EXPECT_EQ(c.paging, PageButtons{});
    EXPECT_EQ(saved, PageButtons{});
    EXPECT_TRUE(c.importVisible && c.oemVisible);
    OnRealTimeStopped(c);
    EXPECT_TRUE(c.open && c.importEnabled && c.comRun && c.oemEnabled);
    EXPECT_FALSE(c.stop || c.globalPage || c.filter); // filtering waits for the next load
}

TEST(CommandStates, StopCancelsAConnectUnderWay) {
    CommandStates c = StartUpCommands(false, false);
    OnRealTimeConnecting(c);
    EXPECT_TRUE(c.stop);
    EXPECT_FALSE(c.open || c.importEnabled || c.comRun || c.oemEnabled);
    // Cancelled, or failed: idle again.
    for (auto end : {&OnRealTimeStopped, &OnRealTimeConnected}) {
        CommandStates ended = c;
        end(ended);
        EXPECT_FALSE(ended.stop);
        EXPECT_TRUE(ended.open && ended.importEnabled && ended.comRun && ended.oemEnabled);
    }
}
