#pragma once
// The window's views of a data file for the commands of paperless-recorder-tool: the screening
// options every command that shows views takes, the data sheet page options, and the one step
// that reads a file and builds its views exactly as the window does after opening it, or after
// a screening with those options.
//
// A command calls TakeViewOptions on its arguments (it removes the options it knows and leaves
// the rest to the command), then LoadFileViews with its load arguments; ViewsOfFile holds the
// recording and the ViewBuild, and SelectPage picks the rows of a page.

#include "tools/cli/ToolSupport.h"

#include "filter/ScreeningInput.h"
#include "views/ViewBuilder.h"

#include <optional>
#include <string>
#include <vector>

// --from TIME, --to TIME ("yyyy-MM-dd HH:mm:ss"), --channels LIST ("1,3-5"). A missing
// --from or --to means the recording's start or end; without --channels every channel stays.
// Any of them makes the views screened views.
struct ScreeningOptions {
    std::optional<DateTime> from;
    std::optional<DateTime> to;
    std::optional<ChannelFlagSet> channels;
    bool Screens() const { return from || to || channels; }
};

// --page N (from 1) and --page-size P (100..10000, default 500): one data sheet page; or
// --page-at TIME ("yyyy-MM-dd HH:mm:ss"): the page holding the row nearest that time, as
// "Go to time…" shows it.
struct PageOptions {
    std::optional<size_t> page;
    std::optional<DateTime> pageAt;
    uint32_t pageSize = DefaultItemsPerPage;
};

// Takes the options above out of args (each as "--name VALUE" or "--name=VALUE"); with
// pages == nullptr the page options count as unknown and stay in args. False after printing
// what is wrong (exit with ExitUsage).
bool TakeViewOptions(std::vector<std::string>& args, ScreeningOptions& screening,
                     PageOptions* pages = nullptr);

// The selection the options make over a recording: a missing --from or --to means the
// recording's start or end, no --channels every channel. False after printing what is wrong
// when the window is empty or reversed ("the input is not correct.": exit with ExitUsage).
bool ResolveScreening(const ScreeningOptions& screening, const RecordingInfo& info,
                      ScreeningSelection& selection);

struct ViewsOfFile {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ViewBuild views;
    std::optional<ScreeningSelection> screening; // set when the views are screened views
    // The reader's failure; the views show whatever it read, as the window does.
    std::optional<UserMessage> readFailure;
    // For a folder, the joined files in join order.
    std::vector<JoinedFile> files;
};

// Reads the file (a live run's record, named *.csv, as File > Open reads it; a folder joined as
// Open folder joins it; for archive:NAME the screening's window of the recorder, or the load
// arguments' range) and builds its views. A reader failure is printed on standard error with the
// file name ("FILE: File read failure!"). Nullopt (ExitUsage) when the screening window is
// empty or reversed once the recording's own ends are filled in ("the input is not correct.").
std::optional<ViewsOfFile> LoadFileViews(const LoadArguments& load,
                                         const ScreeningOptions& screening,
                                         uint32_t pageSize = DefaultItemsPerPage);
// The same reading without the views (they stay empty): for commands that need the samples
// only. The unscreened views would show every channel, in the recording's order.
ViewsOfFile LoadFileRecording(const LoadArguments& load);

// Rows [first, first + count) of the index that the page shows, as paging reaches it in the
// window; nullopt for a page beyond the last (or any page of an empty sheet).
struct PageRows {
    size_t first = 0;
    size_t count = 0;
};
std::optional<PageRows> SelectPage(const SheetRows& rows, const PageOptions& pages);
