#pragma once
// What the commands that draw share: the program's own window, run offscreen inside the
// command, with a data file opened as File → Open would open it.

#include "tools/cli/ToolSupport.h"
#include "tools/cli/ToolViews.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TMainForm;
struct StartupObjects;
class QApplication;
class QSettings;
class QTemporaryDir;

// Options of the drawing commands: their own, and the screening options (--from, --to,
// --channels) every command that shows views takes.
struct WindowOptions {
    ScreeningOptions screening;
    std::vector<std::string> paths;
    std::optional<int> width, height;  // picture
    std::optional<int> page, pageSize; // report
    bool chart = false;                // report
    bool ownScales = false;            // picture, report --chart: each channel on its own scale
    std::string database;              // --db, for archive:NAME
};
// Parses the words of a command; the names in `accepted` are the options the command takes.
// Nullopt after printing what is wrong (exit status 2).
std::optional<WindowOptions> ParseWindowOptions(const std::vector<std::string>& args,
                                                const std::vector<std::string>& accepted);

class OffscreenWindow {
public:
    // Starts a Qt application on the offscreen platform (unless QT_QPA_PLATFORM names one)
    // and creates the program's objects, with service switches of their own.
    OffscreenWindow();
    ~OffscreenWindow();

    // The data sheet's rows per page; applies to the next Open.
    void SetPageSize(int rows);
    // Opens the file as the window does and shows it at the window's designed size. A
    // reader's message is printed with the file name; false then (the window still shows
    // what the file gave). archive:NAME opens as "Open from archive" does, from the archive
    // at database (the default without one), reading only the range when given.
    bool Open(const std::string& path, const std::string& database = {},
              const TimeRange& range = {});
    // Screens the opened recording as "O K" in the screening dialog does, when the options
    // ask for it. False after printing what is wrong (exit status 2).
    bool Screen(const ScreeningOptions& screening);
    TMainForm& Window();
    // Messages the window showed, in order (UTF-8).
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
};
