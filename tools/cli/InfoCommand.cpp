// info FILE: a summary of a data file for people: time window, value range, sample count and
// each channel's unit, range and samples; or the reader's message. For a folder, the joined
// recording, and each file with its time window and the samples the join kept of it; for
// archive:NAME the same of the recorder's history (the files in the order they were added).

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "data/RecorderFileWriter.h"
#include "data/Text.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

// The recording keeps only the value range of the whole file; a channel's own range is in its
// descriptor in the header block.
using HeaderBlock = std::array<uint8_t, RecorderFileLayout::BlockSize>;

std::optional<HeaderBlock> ReadHeaderBlock(const std::string& path) {
    HeaderBlock block{};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(block.data()), block.size()) && in.gcount() == 0)
        return std::nullopt;
    return block;
}

std::string RangeText(const ChannelDescriptor& d) {
    const double divisor = DivisorForDecimalCode(d.decimalCode);
    const int decimals = static_cast<int>(std::lround(std::log10(divisor)));
    char text[96];
    std::snprintf(text, sizeof text, "%.*f to %.*f", decimals, d.rangeLow / divisor, decimals,
                  d.rangeHigh / divisor);
    return text;
}

// The instrument range a recording keeps for the channel (of the archive, which keeps no
// descriptors); "?" without one.
std::string KeptRangeText(const ChannelInfo& channel) {
    if (std::isnan(channel.rangeLow) || std::isnan(channel.rangeHigh))
        return "?";
    char text[96];
    std::snprintf(text, sizeof text, "%g to %g", static_cast<double>(channel.rangeLow),
                  static_cast<double>(channel.rangeHigh));
    return text;
}

// The range of a channel as the descriptor of the first file holding it gives it.
std::string ChannelRangeText(int16_t number, const std::vector<HeaderBlock>& headers) {
    using namespace RecorderFileLayout;
    if (number < 1 || number > static_cast<int>(MaxChannels))
        return "?";
    const auto index = static_cast<uint8_t>(number - 1);
    for (const HeaderBlock& header : headers) {
        if (header[FirstChannelIndexOffset] > index || header[LastChannelIndexOffset] < index)
            continue;
        return RangeText(
            ChannelDescriptor::Decode(header.data() + DescriptorsOffset + DescriptorSize * index));
    }
    return "?";
}

} // namespace

int RunInfoCommand(const std::vector<std::string>& args) {
    const auto arguments = ParseLoadArguments(args);
    if (!arguments)
        return ExitUsage;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    std::vector<JoinedFile> files;
    if (LoadRecording(*arguments, info, channels, &files))
        return ExitFailure;
    // Each file's header block read once, in the join's order.
    std::vector<std::string> headerPaths;
    for (const JoinedFile& file : files)
        headerPaths.push_back(file.path);
    if (headerPaths.empty())
        headerPaths.push_back(arguments->path);
    std::vector<HeaderBlock> headers;
    const bool archived = IsArchivePath(arguments->path);
    if (!archived)
        for (const std::string& path : headerPaths)
            if (auto header = ReadHeaderBlock(path))
                headers.push_back(*header);

    std::printf("File: %s\n", arguments->path.c_str());
    std::printf("Time window: %s to %s\n",
                FormatDateTime(info.startTime, ReadoutTimePattern).c_str(),
                FormatDateTime(info.endTime, ReadoutTimePattern).c_str());
    std::printf("Value range: %0.3f to %0.3f\n", static_cast<double>(info.valueMin),
                static_cast<double>(info.valueMax));
    std::printf("Samples: %d\n", info.sampleCount);
    if (IsRecordingFolder(arguments->path) || archived) {
        std::printf("Files: %zu\n", files.size());
        for (const JoinedFile& file : files)
            std::printf("  %s: %s to %s, %d samples kept\n", file.path.c_str(),
                        FormatDateTime(file.startTime, ReadoutTimePattern).c_str(),
                        FormatDateTime(file.endTime, ReadoutTimePattern).c_str(), file.keptSamples);
    }
    std::printf("Channels: %zu\n", channels.size());
    for (const ChannelInfo& channel : channels) {
        const size_t gaps = CountGapValues(channel.values);
        const std::string range =
            archived ? KeptRangeText(channel) : ChannelRangeText(channel.channel, headers);
        std::printf("  Channel %d: %s, range %s, %zu samples, %zu gap points", channel.channel,
                    GbkToUtf8(channel.unit).c_str(), range.c_str(), channel.values.size() - gaps,
                    gaps);
        if (!channel.times.empty())
            std::printf(", %s to %s",
                        FormatDateTime(channel.times.front(), ReadoutTimePattern).c_str(),
                        FormatDateTime(channel.times.back(), ReadoutTimePattern).c_str());
        std::printf("\n");
    }
    return 0;
}
