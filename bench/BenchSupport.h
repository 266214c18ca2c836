#pragma once
// Shared by the benchmark programs: the largest file they measure, median times for
// side-by-side ratios, and peak memory.

#include "data/RecorderFileWriter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Prints as the console reporter does and keeps each benchmark's median times.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                       run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> medians;
};

// Peak resident memory of this process in KiB. Not getrusage: after exec its maximum also
// covers the parent that started the process.
inline long PeakOfSelf() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long peak = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1)
            break;
    std::fclose(status);
    return peak;
}

// Writes a 16-channel sample recording of the 10,485,760-byte limit to path.
inline bool WriteLargestSampleFile(const std::string& path) {
    SampleOptions options;
    options.channels = 16;
    options.fileSize = RecorderFileLayout::MaxFileSize;
    SampleRecording recording;
    if (const auto error = GenerateSampleRecording(options, recording)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return false;
    }
    if (const auto error = WriteBinaryFile(path, recording.bytes)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return false;
    }
    return true;
}
