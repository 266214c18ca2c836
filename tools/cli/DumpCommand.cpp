// dump FILE: the decoded recording in a machine-readable form, UTF-8, one item a line:
//   message,<text>                                   only after a reader failure
//   info,<valueMax>,<valueMin>,<startTime>,<endTime>,<sampleCount>
//   channel,<n>,<unit>                               for each channel, followed by
//   <n>,<unit>,<time>,<value>                        each stored sample, gap points included
// Values "%0.3f", times "yyyy-MM-dd HH:mm:ss".

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "data/Text.h"

#include <algorithm>
#include <cstdio>

namespace {

// Output goes through one buffer: a full-size file has millions of lines.
class Output {
public:
    ~Output() { Flush(); }
    void Line(const char* format, auto... args) {
        char line[512];
        const int n = std::snprintf(line, sizeof line, format, args...);
        if (n > 0)
            buffer_.append(line, std::min<size_t>(static_cast<size_t>(n), sizeof line - 1));
        if (buffer_.size() >= 1 << 20)
            Flush();
    }
    void Flush() {
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
    }

private:
    std::string buffer_;
};

std::string Time(DateTime t) {
    return FormatDateTime(t, ReadoutTimePattern);
}

} // namespace

int RunDumpCommand(const std::vector<std::string>& args) {
    const auto arguments = ParseLoadArguments(args);
    if (!arguments)
        return ExitUsage;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    const auto message = LoadRecording(*arguments, info, channels);
    return PrintDump(message, info, channels);
}

int PrintDump(const std::optional<UserMessage>& message, const RecordingInfo& info,
              const std::vector<ChannelInfo>& channels) {
    Output out;
    if (message)
        out.Line("message,%s\n", GbkToUtf8(message->text).c_str());
    out.Line("info,%0.3f,%0.3f,%s,%s,%d\n", static_cast<double>(info.valueMax),
             static_cast<double>(info.valueMin), Time(info.startTime).c_str(),
             Time(info.endTime).c_str(), info.sampleCount);
    for (const ChannelInfo& channel : channels) {
        const std::string unit = GbkToUtf8(channel.unit);
        out.Line("channel,%d,%s\n", channel.channel, unit.c_str());
        const size_t n = std::min(channel.times.size(), channel.values.size());
        ForEachSample(channel, 0, n, [&](size_t, DateTime t, float v) {
            out.Line("%d,%s,%s,%0.3f\n", channel.channel, unit.c_str(), Time(t).c_str(),
                     static_cast<double>(v));
        });
    }
    out.Flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the output\n", ToolName);
        return ExitFailure;
    }
    return message ? ExitFailure : 0;
}
