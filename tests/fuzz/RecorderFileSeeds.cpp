// Writes the reader fuzz target's seed corpus into the directory given: a few small files,
// each a different shape of the format, built with the project's writer.
#include "data/RecorderFileWriter.h"

#include <cstdio>
#include <string>

namespace {

constexpr int32_t T0 = 479811600; // 2015-03-16 09:00:00

RecorderFileBuilder Header(uint8_t first, uint8_t last) {
    RecorderFileBuilder b;
    b.SetChannelIndices(first, last);
    b.SetStartTime({15, 3, 16, 9, 0, 0});
    b.SetEndTime({15, 3, 16, 10, 0, 0});
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int failures = 0;
    const auto save = [&](const char* name, const std::vector<uint8_t>& bytes) {
        if (const auto error = WriteBinaryFile(dir + "/" + name, bytes)) {
            std::fprintf(stderr, "%s\n", error->c_str());
            ++failures;
        }
    };

    // The format's worked example: two records, a gap, an out-of-range value.
    RecorderFileBuilder worked = Header(0, 0);
    worked.SetEndTime({15, 3, 16, 9, 0, 12});
    worked.SetDescriptor(0, {1000, 0, 3, 19, 1});
    worked.AppendBlock({{T0, 1, {253, -5, 260}, {}, {}}, {T0 + 10, 1, {100}, {}, {}}}, 0);
    save("worked-example", worked.Bytes());

    // Channels 4 and 5, two blocks for the second, bad-value runs across the block boundary.
    RecorderFileBuilder two = Header(3, 4);
    two.SetDescriptor(3, {100, -20, 4, 300, 1});
    two.SetDescriptor(4, {500, 0, 2, 12, 2});
    two.AppendBlock({{T0, 1, {1, 200, 300, 400, 500, 2}, {}, {}}});
    two.AppendBlock({{T0, 2, {7, 8, 9000, 9000}, {}, {}}});
    two.AppendBlock({{T0 + 9, 2, {9000, 10}, {}, {}}});
    save("two-channels", two.Bytes());

    // Eleven records, the last ended by the end-of-data pattern.
    RecorderFileBuilder eleven = Header(0, 0);
    eleven.SetDescriptor(0, {30000, -30000, 1, 94, 1});
    std::vector<DataRecord> records;
    for (int r = 0; r < 11; ++r)
        records.push_back({T0 + 3 * r, 1, {static_cast<int16_t>(r), 5}, {}, {}});
    eleven.AppendBlock(records, 0xFF);
    save("eleven-records", eleven.Bytes());

    // A chain with an odd offset that points backwards, and a head at the block's very end.
    RecorderFileBuilder odd = Header(0, 0);
    odd.SetDescriptor(0, {1000, 0, 4, 19, 1});
    odd.AppendBlock({{T0, 1, {1, 2}, 0, 33}, {T0 + 5, 1, {3}, 33, 16371}, {T0, 1, {4}, 16371, 7}},
                    0);
    save("odd-offsets", odd.Bytes());

    // More blocks promised than the file holds.
    RecorderFileBuilder promised = Header(0, 1);
    promised.SetDescriptor(0, {1000, 0, 4, 19, 1});
    promised.SetDescriptor(1, {1000, 0, 4, 19, 3});
    promised.AppendBlock({{T0, 1, {1}, {}, {}}});
    promised.AppendBlock({{T0, 1, {2}, {}, {}}});
    save("short-file", promised.Bytes());

    // A realistic recording in four blocks.
    SampleOptions options;
    options.channels = 3;
    options.fileSize = 4 * RecorderFileLayout::BlockSize;
    options.interruptionsPerDay = 300;
    options.outOfRangeRunsPerDay = 100;
    SampleRecording sample;
    if (const auto error = GenerateSampleRecording(options, sample)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    save("sample", sample.bytes);
    return failures == 0 ? 0 : 1;
}
