#include "app/realtime/RealTimeMonitor.h"

#include "data/archive/Archive.h"
#include "device/CommSettingsFile.h"
#include "device/DeviceTexts.h"
#include "device/LinkFailure.h"
#include "device/PosixSerialPort.h"

#include <cstdio>
#include <utility>

RealTimeMonitor::RealTimeMonitor(std::string configPath) : configPath_(std::move(configPath)) {
    // The mapping is read at each open, so a port chosen in the settings dialog takes effect
    // at the next run.
    portLayer_ = std::make_unique<PosixSerialPort>(
        [this](int32_t port) { return PortDevicePath(configPath_, port); });
    connection_ = std::make_unique<ModbusRtuImpl>(*portLayer_, records_);
    connection_->SetCancelFlag(&cancel_);
    connection_->SetAbortFlag(&abort_);
    poller_ = std::thread([this] { PollerLoop(); });
}

RealTimeMonitor::RealTimeMonitor(std::string configPath, std::unique_ptr<SerialPortLayer> portLayer)
    : configPath_(std::move(configPath)), portLayer_(std::move(portLayer)),
      connection_(std::make_unique<ModbusRtuImpl>(*portLayer_, records_)) {
    connection_->SetCancelFlag(&cancel_);
    connection_->SetAbortFlag(&abort_);
    poller_ = std::thread([this] { PollerLoop(); });
}

RealTimeMonitor::~RealTimeMonitor() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        // Whatever the poller waits for ends within a read of the port: the window closes
        // at once, also while Run connects at a slow rate.
        cancel_ = true;
        abort_ = true;
        cancelledStarts_ = lastRun_;
        startRequest_.reset();
    }
    changed_.notify_all();
    poller_.join();
    // The poller has ended: port and record are ours.
    active_ = false;
    CloseDevice();
}

bool RealTimeMonitor::BeginStart(StartHandler done) {
    {
        std::lock_guard lock(mutex_);
        // A start that Stop cancelled is ending: the new one follows it.
        if (startRequest_ || (starting_ && !StartCancelled(lastRun_)))
            return false;
        expectedStart_ = ++lastRun_;
        startRequest_ = StartRequest{expectedStart_, configPath_, std::move(done)};
    }
    stoppedRun_ = 0;
    changed_.notify_all();
    return true;
}

bool RealTimeMonitor::Starting() const {
    std::lock_guard lock(mutex_);
    return starting_ || startRequest_.has_value();
}

bool RealTimeMonitor::StartCancelled(uint64_t run) const {
    return run <= cancelledStarts_;
}

bool RealTimeMonitor::ExpectsStart(const LiveStartResult& result) const {
    std::lock_guard lock(mutex_);
    return result.run == expectedStart_;
}

std::optional<UserMessage> RealTimeMonitor::AcceptStart(const LiveStartResult& result) {
    {
        std::lock_guard lock(mutex_);
        // A start that Stop overtook has closed its port again on the poller.
        if (result.run != expectedStart_)
            return std::nullopt;
        expectedStart_ = 0;
    }
    shown_ = result.records;
    if (result.failure)
        return result.failure;
    run_ = result.run;
    active_ = true;
    return std::nullopt;
}

std::optional<UserMessage> RealTimeMonitor::Start() {
    std::optional<LiveStartResult> result;
    if (!BeginStart([&result](LiveStartResult r) { result = std::move(r); }))
        return UserMessage{std::string(DeviceText::SerialInitFailed), MessageIcon::Error};
    WaitIdle();
    return AcceptStart(*result);
}

LiveStartResult RealTimeMonitor::StartOnPoller(const StartRequest& request) {
    LiveStartResult result;
    result.run = request.run;
    // What a previous run left open.
    CloseDevice();
    // Cancelled before it began: nothing is opened.
    if (cancel_)
        return result;
    LoadCommSettings(request.configPath, records_.commSettings);
    const std::string device = PortDevicePath(request.configPath, records_.commSettings.port);
    if (!connection_->OpenLink()) {
        result.failure = UserMessage{
            std::string(DeviceText::SerialInitFailed), MessageIcon::Error,
            OpenFailureDetail(device, portLayer_->LastOpenFailure(), records_.lastError)};
    } else if (!connection_->Connect()) {
        connection_->CloseLink();
        result.failure = UserMessage{
            InstrumentNoResponseText(records_.commSettings.address), MessageIcon::Error,
            NoResponseDetail(device, records_.lastError, connection_->serialLink().ReplyWait())};
    } else {
        records_.linkActive = true;
        activeChannels_ = ActiveChannelsOf(records_.commSettings);
        log_.Begin();
        const RecordSettings record = LoadRecordSettings(request.configPath);
        bool cancelled;
        {
            std::lock_guard lock(mutex_);
            cancelled = StartCancelled(request.run);
        }
        // A start that Stop overtook records nothing.
        if ((record.enabled || record.archive) && !cancelled) {
            std::vector<std::string> units;
            for (const int16_t n : activeChannels_)
                units.push_back(LiveUnitText(records_.channelConfig[static_cast<size_t>(n - 1)]));
            const DateTime runStart = NowLocal();
            if (record.enabled)
                log_.StartRecording(record.folder, runStart, activeChannels_, units,
                                    result.recordError);
            if (record.archive && result.recordError.empty())
                StartArchiveRecord(request.configPath, record.recorder, runStart, units,
                                   result.recordError);
        }
    }
    result.records = records_;
    result.state = StateOfLog();
    return result;
}

void RealTimeMonitor::StartArchiveRecord(const std::string& configPath, const std::string& recorder,
                                         DateTime runStart, const std::vector<std::string>& units,
                                         std::string& error) {
    std::unique_ptr<ArchiveRecord> record;
    if (recorder.empty()) {
        error = "config.ini names no recorder to record into the archive as ([RECORD] recorder=)";
    } else {
        const std::string location = StoredArchiveLocation(LoadArchiveDatabase(configPath));
        record = ArchiveRecord::Start(location, recorder, runStart, activeChannels_, units, error);
    }
    if (record) {
        log_.StartSink(std::move(record));
        return;
    }
    error = "The run goes unrecorded: " + error;
    // One record or none: the file record just begun goes, the run goes on unrecorded and the
    // user is told why.
    log_.Abandon();
}

bool RealTimeMonitor::Poll(bool workerRunning) {
    if (!active_ || workerRunning)
        return false;
    WaitIdle();
    const bool ok = connection_->ReadLiveValues();
    shown_.liveSnapshot = records_.liveSnapshot;
    shown_.lastError = records_.lastError;
    return ok;
}

void RealTimeMonitor::SetResultHandler(ResultHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

bool RealTimeMonitor::BeginPoll(bool workerRunning) {
    if (!active_ || workerRunning)
        return false;
    {
        std::lock_guard lock(mutex_);
        if (outstanding_)
            return false;
        outstanding_ = true;
        requestedRun_ = run_;
    }
    changed_.notify_all();
    return true;
}

bool RealTimeMonitor::PollOutstanding() const {
    std::lock_guard lock(mutex_);
    return outstanding_;
}

void RealTimeMonitor::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !outstanding_ && !starting_ && !startRequest_; });
}

bool RealTimeMonitor::Accept(const LivePollResult& result) {
    if (!active_ || result.run != run_)
        return false;
    if (result.ok)
        shown_.liveSnapshot = result.snapshot;
    shown_.lastError = result.lastError;
    return true;
}

LivePollResult RealTimeMonitor::ReadOnce(uint64_t run) {
    LivePollResult result;
    result.run = run;
    result.requested = NowLocal();
    result.ok = connection_->ReadLiveValues();
    // The framing layer reopens the port at the eleventh failure in a row and starts
    // counting again.
    result.reopened = !result.ok && !abort_ && connection_->protocol().failureCount() == 0;
    result.snapshot = records_.liveSnapshot;
    result.lastError = records_.lastError;
    return result;
}

void RealTimeMonitor::LogTick(LivePollResult& result) {
    if (result.reopened)
        log_.CountReopen();
    if (result.ok) {
        std::vector<float> values(activeChannels_.size());
        for (size_t p = 0; p < activeChannels_.size(); ++p)
            values[p] = result.snapshot.value[static_cast<size_t>(activeChannels_[p] - 1)];
        result.entry = log_.Good(result.snapshot.instrumentTime, values);
    } else {
        log_.Failed();
    }
    result.state = StateOfLog();
}

LiveRunState RealTimeMonitor::StateOfLog() const {
    LiveRunState state;
    state.good = log_.GoodTicks();
    state.failed = log_.FailedTicks();
    state.repeatedClocks = log_.RepeatedClocks();
    state.reopens = log_.Reopens();
    state.recording = log_.Recording();
    state.recordPath = log_.Writer().Path();
    state.recordError = log_.RecordError();
    state.recordArchive = log_.SinkName();
    state.clockSetBack = log_.LastClockSetBack();
    return state;
}

void RealTimeMonitor::PollerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || outstanding_ || startRequest_; });
        if (outstanding_) {
            const uint64_t run = requestedRun_;
            lock.unlock();
            LivePollResult result = ReadOnce(run);
            lock.lock();
            // A read that Stop overtook goes into no record.
            const bool stopped = closeAfterRead_;
            const ResultHandler handler = handler_;
            lock.unlock();
            if (!stopped)
                LogTick(result);
            else
                result.state = StateOfLog();
            if (handler)
                handler(std::move(result));
            lock.lock();
            // In the section that ends the read, so that a Stop from the handler, or one that
            // came while it ran, is never left over for the next run.
            if (std::exchange(closeAfterRead_, false))
                CloseDevice();
            outstanding_ = false;
            changed_.notify_all();
        } else if (quit_) {
            return;
        } else if (startRequest_) {
            StartRequest request = std::move(*startRequest_);
            startRequest_.reset();
            starting_ = true;
            // No read is outstanding: a close request of the previous run has been served, and
            // none may reach into this one.
            closeAfterRead_ = false;
            cancel_ = StartCancelled(request.run);
            lock.unlock();
            LiveStartResult result = StartOnPoller(request);
            request.done(std::move(result));
            lock.lock();
            // Overtaken by Stop: the port closes again, and the record this start opened,
            // which holds no tick, goes.
            if (StartCancelled(request.run)) {
                if (log_.Recording())
                    log_.Abandon();
                CloseDevice();
            }
            // The connection serves its next user (a download, a run) in full.
            cancel_ = quit_;
            starting_ = false;
            changed_.notify_all();
        }
    }
}

void RealTimeMonitor::CloseDevice() {
    log_.Close();
    if (!records_.linkActive)
        return;
    connection_->CloseLink();
    records_.linkActive = false;
}

void RealTimeMonitor::Stop() {
    if (active_)
        stoppedRun_ = run_.load();
    active_ = false;
    shown_.linkActive = false;
    std::lock_guard lock(mutex_);
    expectedStart_ = 0;
    if (outstanding_)
        closeAfterRead_ = true;
    if (starting_ || startRequest_) {
        // The start under way ends with the request it waits for.
        cancelledStarts_ = lastRun_;
        if (starting_)
            cancel_ = true;
    }
    // Idle, or about to take up a start that closes what is open first.
    if (!outstanding_ && !starting_)
        CloseDevice();
}

std::string InstrumentNoResponseText(int32_t address) {
    char text[128];
    std::snprintf(text, sizeof text, DeviceText::InstrumentNoResponseFormat, address);
    return text;
}
