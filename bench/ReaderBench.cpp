// The data file reader on a file of the size limit (16 channels, 10,485,760 bytes), side by
// side with the bare cost of the same work: reading the file in 16,384-byte blocks and writing
// every sample's time and scaled value into freshly allocated arrays of the final size.
// After the timings it reports their ratio (target: at most 1.3) and the peak memory of a
// process that only reads the file (target: at most 1.5 times 12 bytes a sample).
//
//   build/bench/bench_reader [benchmark options]

#include "data/RecorderFile.h"
#include "data/RecorderFileWriter.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace RecorderFileLayout;

const std::string FilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_largest.bin";
// Length of each channel as the reader returns it (samples and gap points).
std::vector<size_t> ChannelLengths;

bool PrepareFile() {
    if (!WriteLargestSampleFile(FilePath))
        return false;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    if (const auto message = ReadRecorderFile(FilePath, info, channels)) {
        std::fprintf(stderr, "%s\n", message->text.c_str());
        return false;
    }
    for (const ChannelInfo& c : channels)
        ChannelLengths.push_back(c.times.size());
    return true;
}

size_t TotalLength() {
    size_t total = 0;
    for (size_t n : ChannelLengths)
        total += n;
    return total;
}

void Read() {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    benchmark::DoNotOptimize(ReadRecorderFile(FilePath, info, channels));
    benchmark::DoNotOptimize(channels.data());
}

bool ReadBlock(int fd, uint8_t* block) {
    size_t got = 0;
    while (got < BlockSize) {
        const ssize_t n = read(fd, block + got, BlockSize - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    std::memset(block + got, 0, BlockSize - got);
    return got > 0;
}

// The least any reader must do: no time window, range or gap logic, arrays allocated at their
// final size.
void BareDecode() {
    const int fd = open(FilePath.c_str(), O_RDONLY | O_CLOEXEC);
    alignas(8) static uint8_t block[BlockSize];
    ReadBlock(fd, block);
    const unsigned first = block[FirstChannelIndexOffset];
    const unsigned last = block[LastChannelIndexOffset];
    uint8_t descriptors[DescriptorSize * MaxChannels];
    std::memcpy(descriptors, block + DescriptorsOffset, sizeof descriptors);

    std::vector<std::unique_ptr<double[]>> times;
    std::vector<std::unique_ptr<float[]>> values;
    for (unsigned index = first; index <= last; ++index) {
        const ChannelDescriptor d = ChannelDescriptor::Decode(descriptors + DescriptorSize * index);
        const double divisor = DivisorForDecimalCode(d.decimalCode);
        const size_t length = ChannelLengths[index - first];
        times.emplace_back(new double[length]);
        values.emplace_back(new float[length]);
        double* t = times.back().get();
        float* v = values.back().get();
        size_t j = 0;
        for (unsigned b = 0; b < d.blockCount; ++b) {
            ReadBlock(fd, block);
            size_t offset = 0;
            for (int r = 0; r < MaxRecordsPerBlock && offset + RecordHeadSize <= BlockSize; ++r) {
                int32_t seconds;
                uint16_t next;
                std::memcpy(&seconds, block + offset, 4);
                std::memcpy(&next, block + offset + 4, 2);
                const DateTime start = RecorderSecondsToDateTime(seconds);
                const DateTime step = block[offset + 6] * OneSecond;
                const size_t end = next == LastRecordMark ? BlockSize : next;
                int k = 0;
                for (size_t p = offset + RecordHeadSize; p + 2 <= end && j < length; p += 2) {
                    int16_t raw;
                    std::memcpy(&raw, block + p, 2);
                    t[j] = start + k++ * step;
                    v[j++] = static_cast<float>(raw / divisor);
                }
                if (next == LastRecordMark || next >= BlockSize)
                    break;
                offset = next;
            }
        }
    }
    close(fd);
    benchmark::DoNotOptimize(times.data());
    benchmark::DoNotOptimize(values.data());
}

void BM_ReadRecorderFile(benchmark::State& state) {
    for (auto _ : state)
        Read();
    state.counters["samples"] = static_cast<double>(TotalLength());
}
BENCHMARK(BM_ReadRecorderFile)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_BareDecode(benchmark::State& state) {
    for (auto _ : state)
        BareDecode();
    state.counters["samples"] = static_cast<double>(TotalLength());
}
BENCHMARK(BM_BareDecode)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Peak memory in KiB of this program run again in the given mode; the channel lengths go
// along for the bare cost's arrays.
long PeakOfChild(const char* mode) {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return -1;
    std::string command = std::string("'") + self + "' --measure=" + mode + " ";
    for (size_t n : ChannelLengths)
        command += std::to_string(n) + ",";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return -1;
    long peak = -1;
    if (std::fscanf(child, "%ld", &peak) != 1)
        peak = -1;
    return pclose(child) == 0 ? peak : -1;
}

// The child side of PeakOfChild.
int Measure(const std::string& mode, const char* lengths) {
    for (const char* p = lengths; *p;) {
        char* end;
        ChannelLengths.push_back(std::strtoul(p, &end, 10));
        p = *end ? end + 1 : end;
    }
    if (mode == "read")
        Read();
    else if (mode == "bare")
        BareDecode();
    std::printf("%ld\n", PeakOfSelf());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strncmp(argv[1], "--measure=", 10) == 0)
        return Measure(argv[1] + 10, argv[2]);
    benchmark::Initialize(&argc, argv);
    if (!PrepareFile())
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double samples = static_cast<double>(TotalLength());
    std::printf("\nFile: %s, %zu channels, %.0f samples and gap points\n", FilePath.c_str(),
                ChannelLengths.size(), samples);
    const auto& m = reporter.medians;
    // CPU time (page faults included) decides: other processes on the machine stretch the
    // wall-clock time of either side at random.
    if (m.count("BM_ReadRecorderFile") && m.count("BM_BareDecode")) {
        const auto reader = m.at("BM_ReadRecorderFile"), bare = m.at("BM_BareDecode");
        std::printf("Reader / bare cost, median CPU time: %.2f ms / %.2f ms = %.2f (target <= "
                    "1.3); wall clock %.2f ms / %.2f ms = %.2f\n",
                    reader.cpu, bare.cpu, reader.cpu / bare.cpu, reader.real, bare.real,
                    reader.real / bare.real);
    }

    const long baseline = PeakOfChild("baseline");
    const long reader = PeakOfChild("read");
    const long bare = PeakOfChild("bare");
    if (baseline < 0 || reader < 0 || bare < 0) {
        std::fprintf(stderr, "Cannot measure the peak memory\n");
        return 1;
    }
    const double own = 12.0 * samples / 1024.0; // KiB
    std::printf("Peak memory above a process that only starts: reader %.1f MiB, bare cost %.1f "
                "MiB; the samples' own size %.1f MiB; reader / own size = %.2f (target <= 1.5)\n",
                (reader - baseline) / 1024.0, (bare - baseline) / 1024.0, own / 1024.0,
                (reader - baseline) / own);
    return 0;
}
