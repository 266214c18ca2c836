// The CSV import:
//   - a file of 1,000,000 lines (16 channels, one line per channel and second; target: under 1 s),
//   - the views built from an imported recording side by side with those built from the data
//     file that holds the same samples (target: the import's build no slower).
//
//   build/bench/bench_import [benchmark options]

#include "data/CsvImport.h"
#include "data/RecorderFile.h"
#include "views/ViewBuilder.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

const std::string MillionPath = std::string(RECORDER_GENERATED_DIR) + "/bench_import_1m.csv";
const std::string DataFilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_import_largest.bin";
const std::string SameSamplesPath =
    std::string(RECORDER_GENERATED_DIR) + "/bench_import_largest.csv";
constexpr int MillionLines = 1'000'000;
constexpr uint32_t PageSize = 500;

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

bool WriteMillionLines() {
    const DateTime start = ParseDateTime("2026-01-01 00:00:00").value();
    std::string text;
    text.reserve(static_cast<size_t>(MillionLines) * 40);
    for (int line = 0; line < MillionLines; ++line) {
        const int channel = line % 16 + 1;
        const int second = line / 16;
        const float value = static_cast<float>(channel * 10 + (second % 997) * 0.125);
        text += FormatImportLine(line + 1, channel, value, start + second * OneSecond, "\xA1\xE6");
    }
    return WriteText(MillionPath, text);
}

// The data file's samples, gap points included, as import lines: instant by instant across
// the channels, so that channels keep their order and each its own sample order.
bool WriteSameSamples(const std::vector<ChannelInfo>& channels) {
    std::string text;
    long long serial = 0;
    size_t longest = 0;
    for (const ChannelInfo& c : channels)
        longest = std::max(longest, c.times.size());
    for (size_t i = 0; i < longest; ++i) {
        for (const ChannelInfo& c : channels) {
            if (i < c.times.size())
                text += FormatImportLine(++serial, c.channel, c.values[i], c.times[i], c.unit);
        }
    }
    return WriteText(SameSamplesPath, text);
}

void BM_ImportMillionLines(benchmark::State& state) {
    int32_t lines = 0;
    for (auto _ : state) {
        CsvImport result = ImportCsvFile(MillionPath);
        lines = result.info.sampleCount;
        benchmark::DoNotOptimize(result.channels.data());
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_ImportMillionLines)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BuildAndCount(benchmark::State& state, const std::vector<ChannelInfo>& channels,
                   const RecordingInfo& info) {
    size_t rows = 0, points = 0;
    for (auto _ : state) {
        ViewBuild build = BuildViews(channels, info, PageSize);
        rows = build.rows.RowCount();
        points = 0;
        for (const SeriesBuild& series : build.series)
            points += series.points.size();
        benchmark::DoNotOptimize(build.series.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["points"] = static_cast<double>(points);
}

void BM_BuildViewsOfDataFile(benchmark::State& state) {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ReadRecorderFile(DataFilePath, info, channels);
    BuildAndCount(state, channels, info);
}
BENCHMARK(BM_BuildViewsOfDataFile)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_BuildViewsOfImport(benchmark::State& state) {
    const CsvImport imported = ImportCsvFile(SameSamplesPath);
    BuildAndCount(state, imported.channels, imported.info);
}
BENCHMARK(BM_BuildViewsOfImport)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    if (!WriteMillionLines() || !WriteLargestSampleFile(DataFilePath) ||
        ReadRecorderFile(DataFilePath, info, channels) || !WriteSameSamples(channels)) {
        std::fprintf(stderr, "cannot prepare the benchmark files\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& m = reporter.medians;
    if (m.count("BM_ImportMillionLines"))
        std::printf("import of %d lines: %.0f ms (target: under 1000 ms)\n", MillionLines,
                    m.at("BM_ImportMillionLines").real);
    if (m.count("BM_BuildViewsOfDataFile") && m.count("BM_BuildViewsOfImport"))
        std::printf("views of the import / views of the data file: %.2f (target: at most 1)\n",
                    m.at("BM_BuildViewsOfImport").real / m.at("BM_BuildViewsOfDataFile").real);
    benchmark::Shutdown();
    return 0;
}
