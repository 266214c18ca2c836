#pragma once
// Detail on zoom. The views fix the decimation step for the whole recording (or screening), so a
// chart zoomed into an hour of a year would show one plotted point in several hundred samples.
// While the visible window holds fewer samples than the built series stand for, the series plot
// that window exactly as a screening of it would; the points are found on a worker thread, and
// undoing the zoom brings the built series back. The read-out reads whatever is plotted.
//
// The worker reads the shown channels while the user-interface thread goes on; RecordingViews
// calls Forget before it changes the channels or removes the series, which waits for a running
// refinement and drops every result still to come.

#include "app/recording/ShownRecording.h"
#include "chart/TrendChart.h"

#include <QObject>
#include <QSharedPointer>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class ZoomDetail : public QObject {
    Q_OBJECT
public:
    ZoomDetail(const ShownRecording& shown, TrendChart* chart, QObject* parent = nullptr);
    ~ZoomDetail() override;

    // The series just built, plotted every `step`-th sample over [windowStart, windowEnd] (the
    // recording's window, or the screening's).
    void Built(int step, DateTime windowStart, DateTime windowEnd);
    // The chart shows [start, end]: the window's own points when it holds fewer samples than
    // the built series stand for, else the built series. The newest window wins; one still
    // waiting is replaced.
    void Show(DateTime start, DateTime end);
    // The built series again (the zoom undone).
    void Restore();
    // Waits for a running refinement and forgets the series and every result to come.
    void Forget();
    // Whether the series show a refined window.
    bool Refined() const { return refined_; }

signals:
    // The series' points changed (refined or restored); the chart is replotted.
    void SeriesChanged();

private:
    struct Window {
        DateTime start = 0;
        DateTime end = 0;
    };
    struct Result;
    void Start(Window window);
    void Finished(const std::shared_ptr<Result>& result);
    void Apply(const Result& result);
    void Join();

    const ShownRecording& shown_;
    TrendChart* chart_;
    // The series' data as built, in the order of shown_.SeriesInfos.
    std::vector<QSharedPointer<QCPGraphDataContainer>> built_;
    int builtStep_ = 1;
    Window builtWindow_;
    bool refined_ = false;

    std::thread worker_;
    uint64_t lastJob_ = 0;
    uint64_t runningJob_ = 0;   // 0: none
    bool staleRunning_ = false; // the running job's result is not to be shown
    std::optional<Window> waiting_;
};
