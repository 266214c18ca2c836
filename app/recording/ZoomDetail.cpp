#include "app/recording/ZoomDetail.h"

#include "views/ViewBuilder.h"

#include <algorithm>

struct ZoomDetail::Result {
    uint64_t job = 0;
    bool useBuilt = false;
    std::vector<QSharedPointer<QCPGraphDataContainer>> series;
};

ZoomDetail::ZoomDetail(const ShownRecording& shown, TrendChart* chart, QObject* parent)
    : QObject(parent), shown_(shown), chart_(chart) {}

ZoomDetail::~ZoomDetail() {
    Join();
}

void ZoomDetail::Built(int step, DateTime windowStart, DateTime windowEnd) {
    Forget();
    builtStep_ = std::max(step, 1);
    builtWindow_ = {windowStart, windowEnd};
    for (const ChartSeriesInfo& info : shown_.SeriesInfos)
        built_.push_back(info.series->data());
}

void ZoomDetail::Show(DateTime start, DateTime end) {
    if (built_.empty())
        return;
    // Nothing outside the built window was ever plotted: a screened view stays screened.
    const Window window{std::max(start, builtWindow_.start), std::min(end, builtWindow_.end)};
    if (builtStep_ == 1 || !(window.start < window.end)) {
        Restore();
        return;
    }
    if (runningJob_) {
        waiting_ = window;
        staleRunning_ = true;
        return;
    }
    Start(window);
}

void ZoomDetail::Start(Window window) {
    std::vector<int16_t> positions;
    for (const ChartSeriesInfo& info : shown_.SeriesInfos)
        positions.push_back(info.channelPos);
    const uint64_t job = runningJob_ = ++lastJob_;
    worker_ =
        std::thread([this, job, positions = std::move(positions), window, builtStep = builtStep_] {
            auto result = std::make_shared<Result>();
            result->job = job;
            const std::vector<ChannelInfo>& channels = shown_.channels;
            const int step = ScreenedWindowStep(channels, positions, window.start, window.end);
            if (step >= builtStep) {
                result->useBuilt = true;
            } else {
                SeriesBuild series;
                for (auto& points :
                     PlotScreenedWindow(channels, positions, window.start, window.end, step)) {
                    series.points = std::move(points);
                    result->series.push_back(TrendChart::MakeSeriesData(series));
                }
            }
            // Dropped with this object if it is gone; Forget waits for the thread before it goes.
            QMetaObject::invokeMethod(
                this, [this, result] { Finished(result); }, Qt::QueuedConnection);
        });
}

void ZoomDetail::Finished(const std::shared_ptr<Result>& result) {
    if (result->job != runningJob_)
        return; // forgotten
    Join();
    runningJob_ = 0;
    if (!staleRunning_)
        Apply(*result);
    staleRunning_ = false;
    if (waiting_) {
        const Window window = *waiting_;
        waiting_.reset();
        Start(window);
    }
}

void ZoomDetail::Apply(const Result& result) {
    if (result.useBuilt || result.series.size() != shown_.SeriesInfos.size()) {
        Restore();
        return;
    }
    for (size_t i = 0; i < result.series.size(); ++i)
        shown_.SeriesInfos[i].series->setData(result.series[i]);
    refined_ = true;
    chart_->replot(QCustomPlot::rpQueuedReplot);
    emit SeriesChanged();
}

void ZoomDetail::Restore() {
    waiting_.reset();
    // What a running refinement finds is no longer wanted; it is not waited for.
    staleRunning_ = runningJob_ != 0;
    if (!refined_)
        return;
    for (size_t i = 0; i < built_.size() && i < shown_.SeriesInfos.size(); ++i)
        shown_.SeriesInfos[i].series->setData(built_[i]);
    refined_ = false;
    chart_->replot(QCustomPlot::rpQueuedReplot);
    emit SeriesChanged();
}

void ZoomDetail::Forget() {
    waiting_.reset();
    Join();
    runningJob_ = 0;
    staleRunning_ = false;
    built_.clear();
    refined_ = false;
}

void ZoomDetail::Join() {
    if (worker_.joinable())
        worker_.join();
}
