#include "views/CommandState.h"

#include <charconv>

bool SwitchIsOn(std::optional<std::string_view> storedValue) {
    if (!storedValue)
        return false;
    std::string_view text = *storedValue;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value == 1;
}

CommandStates StartUpCommands(bool importSwitch, bool oemSwitch) {
    CommandStates commands;
    commands.importVisible = importSwitch;
    commands.oemVisible = oemSwitch;
    return commands;
}

void OnViewsBuilt(CommandStates& commands, const PageButtons& firstPage, bool enableFilter) {
    commands.paging = firstPage;
    if (enableFilter)
        commands.filter = true;
}

void OnFinishViewUpdate(CommandStates& commands, PageButtons& savedPageButtons,
                        ShownPage currentPage) {
    savedPageButtons = commands.paging;
    if (currentPage != ShownPage::DataSheet)
        commands.paging.next = commands.paging.end = false;
}

void OnDataSheetShown(CommandStates& commands, const PageButtons& savedPageButtons,
                      ShownPage& currentPage) {
    currentPage = ShownPage::DataSheet;
    commands.paging = savedPageButtons;
    commands.savePrint = true;
}

void OnTrendDiagramShown(CommandStates& commands, PageButtons& savedPageButtons,
                         ShownPage& currentPage) {
    if (currentPage == ShownPage::DataSheet)
        savedPageButtons = commands.paging;
    currentPage = ShownPage::TrendDiagram;
    commands.paging = {};
    commands.savePrint = true;
}

void OnGlobalFigureShown(CommandStates& commands, PageButtons& savedPageButtons,
                         ShownPage& currentPage) {
    if (currentPage == ShownPage::DataSheet)
        savedPageButtons = commands.paging;
    currentPage = ShownPage::GlobalFigure;
    commands.filter = false;
    commands.paging = {};
    commands.savePrint = false;
}

void OnRealTimeConnecting(CommandStates& commands) {
    commands.open = false;
    commands.importEnabled = false;
    commands.comRun = false;
    commands.oemEnabled = false;
    commands.stop = true; // cancels the connect
}

void OnRealTimeConnected(CommandStates& commands) {
    // Back to idle; a successful start then turns to the run's commands.
    commands.open = true;
    commands.importEnabled = true;
    commands.comRun = true;
    commands.oemEnabled = true;
    commands.stop = false;
}

void OnRealTimeStarted(CommandStates& commands, PageButtons& savedPageButtons) {
    commands.open = false;
    commands.importEnabled = false;
    commands.filter = false;
    commands.paging = {};
    savedPageButtons = {};
    commands.comRun = false;
    commands.stop = true;
    commands.oemEnabled = false;
    commands.globalPage = true;
}

void OnRealTimeStopped(CommandStates& commands) {
    commands.open = true;
    commands.importEnabled = true;
    commands.comRun = true;
    commands.stop = false;
    commands.oemEnabled = true;
    commands.globalPage = false;
}
