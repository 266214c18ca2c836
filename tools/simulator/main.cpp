// paperless-recorder-sim: a simulated paperless recorder on a pseudo-terminal, for trying the
// live monitor and the picture download without an instrument, and for the tests.

#include "tools/simulator/RandomFaults.h"
#include "tools/simulator/SimulatorServer.h"

#include "RecorderVersion.h"

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* Usage = R"(Usage: paperless-recorder-sim [options]

Simulates one paperless recorder on a pseudo-terminal. Prints the terminal's device path on
the first line of its output, then answers Modbus RTU requests on it until interrupted
(Ctrl+C): identification, the configuration of 16 channels (units, decimals, four alarm
limits) and the live block with the current clock and values that move smoothly and cross
their alarm limits now and then. It also takes picture downloads and writes the received
picture to a file.

To watch live values, map a port to the device in config.ini and run the program (or
`paperless-recorder-tool poll`) with that port:
    [PORTS]
    COM1=/dev/pts/3

Options:
  -a, --address N             instrument address (default 1)
  -l, --link PATH             also make PATH a symbolic link to the device, for a fixed name
                              in config.ini; removed at exit
  -o, --picture-out FILE      where a received picture is written
                              (default picture-slot<N>.bin in the working directory)
  -v, --verbose               print every request and reply in hexadecimal on stderr
  -h, --help                  show this text
  -V, --version               show the version

Fault options:
      --silent-after N        answer N requests, then stay silent ...
      --silent-for-seconds S  ... for S seconds (default: for good)
      --silent-for-requests N ... for N requests
      --corrupt-crc-every K   corrupt the CRC of every K-th reply
      --answer-address N      answer from address N instead of our own
      --exception CODE        answer every read with Modbus exception CODE (1-255)
      --pace-baud RATE        take requests and send replies at the pace of RATE bit/s
      --refuse-block N        never acknowledge picture block N (counted from 0)
      --clock-back-after N    answer N live reads, then set the clock back ...
      --clock-back-by S       ... by S seconds (default 3600), for good
      --random-faults S       at random moments, S seconds apart on average, go silent
                              (0.5-20 s), put noise on the line, corrupt the CRCs of the
                              replies (1-8 s), pull the cable: close the terminal and open
                              a new one 2-25 s later (use --link for a name that stays), or
                              set the clock back (by 1-2 s or by 3 s to an hour); each
                              fault is reported on stderr
      --seed N                seed of the random faults (default 1)
)";

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

bool ParseNumber(const char* text, long long low, long long high, long long& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

bool ParseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value > 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::printf("paperless-recorder-sim %s\n", RECORDER_VERSION);
        return 0;
    }
    enum LongOnly {
        SilentAfter = 256,
        SilentSeconds,
        SilentRequests,
        CorruptEvery,
        AnswerAddress,
        Exception,
        PaceBaud,
        RefuseBlock,
        ClockBackAfter,
        ClockBackBy,
        RandomFaultsOption,
        SeedOption
    };
    static const option longOptions[] = {
        {"address", required_argument, nullptr, 'a'},
        {"link", required_argument, nullptr, 'l'},
        {"picture-out", required_argument, nullptr, 'o'},
        {"verbose", no_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"silent-after", required_argument, nullptr, SilentAfter},
        {"silent-for-seconds", required_argument, nullptr, SilentSeconds},
        {"silent-for-requests", required_argument, nullptr, SilentRequests},
        {"corrupt-crc-every", required_argument, nullptr, CorruptEvery},
        {"answer-address", required_argument, nullptr, AnswerAddress},
        {"exception", required_argument, nullptr, Exception},
        {"pace-baud", required_argument, nullptr, PaceBaud},
        {"refuse-block", required_argument, nullptr, RefuseBlock},
        {"clock-back-after", required_argument, nullptr, ClockBackAfter},
        {"clock-back-by", required_argument, nullptr, ClockBackBy},
        {"random-faults", required_argument, nullptr, RandomFaultsOption},
        {"seed", required_argument, nullptr, SeedOption},
        {nullptr, 0, nullptr, 0},
    };
    SimulatorOptions options;
    std::string linkPath;
    bool verbose = false;
    std::optional<RandomFaultOptions> randomFaults;
    uint32_t seed = 1;
    for (int c; (c = getopt_long(argc, argv, "a:l:o:vh", longOptions, nullptr)) != -1;) {
        long long n = 0;
        bool ok = true;
        switch (c) {
        case 'a':
            ok = ParseNumber(optarg, 0, 255, n);
            options.address = static_cast<int>(n);
            break;
        case 'l':
            linkPath = optarg;
            break;
        case 'o':
            options.pictureOutput = optarg;
            break;
        case 'v':
            verbose = true;
            break;
        case 'h':
            std::fputs(Usage, stdout);
            return 0;
        case SilentAfter:
            ok = ParseNumber(optarg, 0, 1'000'000'000, n);
            options.faults.silentAfter = static_cast<int>(n);
            break;
        case SilentSeconds:
            ok = ParseSeconds(optarg, options.faults.silentSeconds);
            break;
        case SilentRequests:
            ok = ParseNumber(optarg, 1, 1'000'000'000, n);
            options.faults.silentRequests = static_cast<int>(n);
            break;
        case CorruptEvery:
            ok = ParseNumber(optarg, 1, 1'000'000'000, n);
            options.faults.corruptEvery = static_cast<int>(n);
            break;
        case AnswerAddress:
            ok = ParseNumber(optarg, 0, 255, n);
            options.faults.answerAddress = static_cast<int>(n);
            break;
        case Exception:
            ok = ParseNumber(optarg, 1, 255, n);
            options.faults.exceptionCode = static_cast<int>(n);
            break;
        case PaceBaud:
            ok = ParseNumber(optarg, 50, 4'000'000, n);
            options.faults.paceBaud = static_cast<int>(n);
            break;
        case RefuseBlock:
            ok = ParseNumber(optarg, 0, 1'000'000'000, n);
            options.faults.refuseBlock = static_cast<int>(n);
            break;
        case ClockBackAfter:
            ok = ParseNumber(optarg, 0, 1'000'000'000, n);
            options.faults.clockBackAfter = static_cast<int>(n);
            break;
        case ClockBackBy:
            ok = ParseSeconds(optarg, options.faults.clockBackSeconds);
            break;
        case RandomFaultsOption: {
            double seconds = 0;
            ok = ParseSeconds(optarg, seconds);
            randomFaults = RandomFaultOptions{seconds, 0};
            break;
        }
        case SeedOption:
            ok = ParseNumber(optarg, 0, UINT32_MAX, n);
            seed = static_cast<uint32_t>(n);
            break;
        default:
            std::fputs(Usage, stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "paperless-recorder-sim: bad value '%s'; see --help\n", optarg);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "paperless-recorder-sim: unexpected argument '%s'; see --help\n",
                     argv[optind]);
        return 2;
    }

    InstrumentSimulator instrument(options);
    SimulatorServer server(instrument);
    std::string error;
    if (!server.Open(error)) {
        std::fprintf(stderr, "paperless-recorder-sim: %s\n", error.c_str());
        return 1;
    }
    // The link follows the terminal when a pulled cable brings a new one.
    auto link = [&linkPath](const std::string& devicePath) {
        if (linkPath.empty())
            return true;
        unlink(linkPath.c_str()); // a link left by an earlier run
        if (symlink(devicePath.c_str(), linkPath.c_str()) == 0)
            return true;
        std::fprintf(stderr, "paperless-recorder-sim: cannot create %s: %s\n", linkPath.c_str(),
                     std::strerror(errno));
        return false;
    };
    if (!link(server.DevicePath()))
        return 1;
    if (verbose)
        server.trace = [](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        };
    std::printf("%s\n", server.DevicePath().c_str());
    std::fflush(stdout);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    int status = 0;
    if (randomFaults) {
        randomFaults->seed = seed;
        RandomFaultInjector injector(instrument, server, *randomFaults);
        // While the cable is out nothing answers under the link's name.
        injector.disconnected = [&linkPath] {
            if (!linkPath.empty())
                unlink(linkPath.c_str());
        };
        injector.reconnected = [&link](const std::string& devicePath) { link(devicePath); };
        injector.report = [](std::string_view line) {
            std::fprintf(stderr, "paperless-recorder-sim: %s: %.*s\n",
                         FormatDateTime(NowLocal(), "HH:mm:ss").c_str(),
                         static_cast<int>(line.size()), line.data());
        };
        server.Start();
        if (!injector.Run(stopRequested))
            status = 1;
        server.Stop();
        std::fprintf(stderr, "paperless-recorder-sim: faults: ");
        for (RandomFault fault : AllRandomFaults) {
            const std::string_view name = RandomFaultName(fault);
            std::fprintf(stderr, "%.*s %d%s", static_cast<int>(name.size()), name.data(),
                         injector.Count(fault), fault == AllRandomFaults.back() ? "\n" : ", ");
        }
    } else {
        server.Run(stopRequested);
    }

    if (!linkPath.empty())
        unlink(linkPath.c_str());
    const SimulatorStats stats = instrument.Stats();
    std::fprintf(stderr, "paperless-recorder-sim: %d requests, %d replies, %d pictures saved\n",
                 stats.requests, stats.replies, stats.picturesSaved);
    return status;
}
