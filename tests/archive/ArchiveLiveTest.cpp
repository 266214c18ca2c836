// A live run recorded into the archive, through the poll command against the instrument
// simulator: what the archive holds afterwards is what the run's file record holds, tick for
// tick and break for break; and a failed write stops the record with the database's message.
#include "tests/archive/ArchiveTestSupport.h"

#include "data/LiveRecord.h"
#include "tools/cli/PollCommand.h"
#include "tools/simulator/SimulatorServer.h"

#include <atomic>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The instrument's clock moves a second a read, and jumps ahead twice (outages the series
// must break at); every seventh reply is corrupt (failed ticks).
class LiveArchiveTest : public ::testing::TestWithParam<Backend> {
protected:
    LiveArchiveTest() : place_(GetParam(), "live_archive") {
        std::ofstream(place_.Dir() / "config.ini") << "[COM]\naddress=1\n";
    }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.Open(error)) << error;
        server_.Start();
    }

    int Poll(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"--config",   (place_.Dir() / "config.ini").string(),
                                      "--device",   server_.DevicePath(),
                                      "--baud",     "9600",
                                      "--channels", "1,2",
                                      "--interval", "5"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunPollCommand(args, out_, err_);
    }

    ArchivePlace place_;
    std::shared_ptr<std::atomic<int>> reads_ = std::make_shared<std::atomic<int>>(0);
    InstrumentSimulator instrument_{[reads = reads_] {
        SimulatorOptions options;
        options.clock = [reads] {
            const int n = (*reads)++;
            return EncodeDateTime({2015, 3, 16, 8, 0, 0}).value() +
                   (n + (n >= 8 ? 6 : 0) + (n >= 16 ? 4 : 0)) * OneSecond;
        };
        options.faults.corruptEvery = 7;
        return options;
    }()};
    SimulatorServer server_{instrument_};
    std::ostringstream out_, err_;
};

// Entries of both, times to the millisecond, values bit for bit, breaks included.
void ExpectSameEntries(const std::vector<ChannelInfo>& expected,
                       const std::vector<ChannelInfo>& actual) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t c = 0; c < expected.size(); ++c) {
        const ChannelInfo& e = expected[c];
        const ChannelInfo& a = actual[c];
        SCOPED_TRACE("channel " + std::to_string(e.channel));
        EXPECT_EQ(a.channel, e.channel);
        EXPECT_EQ(a.unit, e.unit);
        ASSERT_EQ(EntryCount(a), EntryCount(e));
        for (size_t i = 0; i < EntryCount(e); ++i) {
            EXPECT_EQ(DateTimeToUnixMilliseconds(a.times[i]),
                      DateTimeToUnixMilliseconds(e.times[i]))
                << i;
            EXPECT_EQ(std::bit_cast<uint32_t>(a.values[i]), std::bit_cast<uint32_t>(e.values[i]))
                << i << ": " << a.values[i] << " for " << e.values[i];
        }
    }
}

size_t Breaks(const ChannelInfo& channel) {
    return static_cast<size_t>(std::count_if(channel.values.begin(), channel.values.end(),
                                             [](float v) { return IsGapValue(v); }));
}

} // namespace

TEST_P(LiveArchiveTest, ARunIntoTheArchiveHoldsWhatItsFileRecordHolds) {
    const std::string location = place_.NewLocation("live");
    const fs::path folder = place_.Dir() / "records";
    ASSERT_EQ(Poll({"--ticks", "24", "--record", folder.string(), "--archive", "boiler", "--db",
                    location}),
              0)
        << err_.str();
    EXPECT_NE(err_.str().find("poll: recording into archive:boiler ("), std::string::npos)
        << err_.str();
    ASSERT_NE(err_.str().find("no valid reply"), std::string::npos) << "faults were injected";

    RecordingInfo info;
    std::vector<ChannelInfo> recorded;
    ASSERT_EQ(OpenLiveRecord(fs::directory_iterator(folder)->path().string(), info, recorded),
              std::nullopt);
    const auto archive = OpenArchive(location, false);
    ASSERT_TRUE(archive);
    JoinedRecording read;
    ASSERT_EQ(archive->Read("boiler", {}, read), std::nullopt);
    ExpectSameEntries(recorded, read.channels);

    // Every tick printed is in the archive once, and the two jumps of the clock are breaks.
    std::istringstream lines(out_.str());
    size_t ticks = 0;
    for (std::string line; std::getline(lines, line);)
        ++ticks;
    ASSERT_EQ(read.channels.size(), 2u);
    EXPECT_EQ(EntryCount(read.channels[0]) - Breaks(read.channels[0]), ticks);
    EXPECT_GE(Breaks(read.channels[0]), 2u);
}

TEST_P(LiveArchiveTest, AFailedWriteStopsTheRecordWithTheDatabasesMessage) {
    const std::string location = place_.NewLocation("broken");
    const fs::path folder = place_.Dir() / "records";
    std::thread breaker;
    {
        // The archive made, and its stretches gone once the run has made a few reads.
        const auto archive = OpenArchive(location);
        ASSERT_TRUE(archive);
    }
    breaker = std::thread([&] {
        while (*reads_ < 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto archive = OpenArchive(location, false);
        // PostgreSQL may end the drop instead of the run's tick when the two wait for each
        // other's locks: it is tried again then.
        for (int attempt = 0;; ++attempt) {
            try {
                archive->Database().RunScript(archive->Database().Dialect() ==
                                                      ArchiveDialect::Postgres
                                                  ? "DROP TABLE stretches CASCADE"
                                                  : "DROP TABLE stretches");
                return;
            } catch (const ArchiveDatabaseError& error) {
                if (attempt == 20) {
                    ADD_FAILURE() << error.what();
                    return;
                }
            }
        }
    });
    const int status = Poll({"--ticks", "400", "--interval", "10", "--record", folder.string(),
                             "--archive", "boiler", "--db", location});
    breaker.join();
    EXPECT_EQ(status, 1);
    // The database's own text: the table gone, or the tick chosen to end a wait for locks.
    const std::string said = err_.str();
    const size_t failed = said.find("poll: Writing to the archive ");
    ASSERT_NE(failed, std::string::npos) << said;
    EXPECT_NE(said.find(" failed: ", failed), std::string::npos) << said;
    std::istringstream lines(out_.str());
    size_t ticks = 0;
    for (std::string line; std::getline(lines, line);)
        ++ticks;
    EXPECT_LT(ticks, 400u) << "the run ends at the failed write, as at a failed file write";
}

INSTANTIATE_TEST_SUITE_P(Databases, LiveArchiveTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres), BackendName);
