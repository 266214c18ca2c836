#pragma once
// Which commands of the main window are enabled or visible in each situation. The window keeps
// one CommandStates, changes it only through these functions and mirrors it onto its actions.

#include "views/Paging.h"

#include <cstdint>
#include <optional>
#include <string_view>

enum class ShownPage : uint8_t { DataSheet = 0, TrendDiagram = 1, GlobalFigure = 2 };

struct CommandStates {
    bool open = true;           // Open button and menu item
    bool importVisible = false; // "Import data(&I)", shown only when switched on
    bool importEnabled = true;
    bool filter = true;      // "Data filtering conditions set"
    bool savePrint = true;   // Save and Print, buttons and menu items
    PageButtons paging;      // the four paging buttons
    bool comRun = true;      // Com and Run, buttons and menu items
    bool stop = false;       // Stop button and menu item
    bool oemVisible = false; // "OEM Load(&D)", shown only when switched on
    bool oemEnabled = true;
    bool globalPage = false; // "Global figure" tab and menu item
    friend bool operator==(const CommandStates&, const CommandStates&) = default;
};

// A service switch is on only when its stored value is the integer 1. A missing value, another
// number or text that is no integer leaves it off.
bool SwitchIsOn(std::optional<std::string_view> storedValue);

CommandStates StartUpCommands(bool importSwitch, bool oemSwitch);

// The builder's first page; after a load or import the filter button comes on as well.
void OnViewsBuilt(CommandStates& commands, const PageButtons& firstPage, bool enableFilter);
// The completion step after a load, import or screening: park the paging states and, when
// another page than the data sheet is shown, leave no paging button enabled.
void OnFinishViewUpdate(CommandStates& commands, PageButtons& savedPageButtons,
                        ShownPage currentPage);

// Page switching: the paging buttons only make sense on the data sheet, so their states are
// parked while another page is shown.
void OnDataSheetShown(CommandStates& commands, const PageButtons& savedPageButtons,
                      ShownPage& currentPage);
void OnTrendDiagramShown(CommandStates& commands, PageButtons& savedPageButtons,
                         ShownPage& currentPage);
void OnGlobalFigureShown(CommandStates& commands, PageButtons& savedPageButtons,
                         ShownPage& currentPage);

// While Run connects: Run, the settings, the download, Open and Import are off until it ends;
// Stop is on, to cancel it. Stop during the connect is OnRealTimeStopped.
void OnRealTimeConnecting(CommandStates& commands);
void OnRealTimeConnected(CommandStates& commands);
void OnRealTimeStarted(CommandStates& commands, PageButtons& savedPageButtons);
void OnRealTimeStopped(CommandStates& commands);
