// libFuzzer target: any byte sequence as a recorder data file. The reader must end with one of
// its messages or a recording, never crash, hang or read outside its block buffer (ASan and
// UBSan watch the latter).
#include "data/RecorderFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The reader takes a path: the input goes to an in-memory file, opened again by its /proc name.
struct MemoryFile {
    MemoryFile() : fd(memfd_create("recorder-fuzz", MFD_CLOEXEC)) {
        if (fd < 0)
            std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    int fd;
    std::string path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file;
    if (ftruncate(file.fd, 0) != 0 ||
        (size > 0 && pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();

    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    const auto message = ReadRecorderFile(file.path, info, channels);

    // What any outcome must hold.
    size_t stored = 0;
    for (const ChannelInfo& c : channels) {
        if (c.times.size() != c.values.size() || c.channel < 1 || c.channel > 16)
            std::abort();
        for (float v : c.values)
            stored += IsGapValue(v) ? 0 : 1;
    }
    if (!message && stored > static_cast<size_t>(info.sampleCount))
        std::abort();
    if (message && message->text.empty())
        std::abort();
    return 0;
}
