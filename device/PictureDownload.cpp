#include "device/PictureDownload.h"

#include "data/Utility.h"

#include <cstdint>
#include <cstdio>
#include <span>

size_t FillPictureBlocks(std::vector<uint8_t>& bytes) {
    const size_t blocks = (bytes.size() + PictureBlockBytes - 1) / PictureBlockBytes;
    bytes.resize(blocks * PictureBlockBytes, 0);
    return blocks;
}

std::string PictureAttemptText(int32_t block, int blockCount, int attempt) {
    char text[96];
    std::snprintf(text, sizeof text, "Block %d of %d, attempt %d of %d", block + 1, blockCount,
                  attempt, PictureBlockAttempts);
    return text;
}

namespace {

// The transfer between the open port and its closing; the message on failure.
std::string_view Transfer(ModbusRtuImpl& connection, const std::string& picturePath, int16_t slot,
                          const PictureDownloadCallbacks& callbacks) {
    std::vector<uint8_t> bytes;
    if (!LoadHexTextFile(picturePath, bytes) || bytes.empty())
        return PictureDownloadText::FileReadFailure;
    const size_t blockCount = FillPictureBlocks(bytes);
    // A picture beyond this would overflow the progress range long before the slot's size.
    if (blockCount > static_cast<size_t>(INT32_MAX - 2))
        return PictureDownloadText::FileReadFailure;
    const int maximum = static_cast<int>(blockCount) + 2;
    if (callbacks.progressMaximum)
        callbacks.progressMaximum(maximum);
    int position = 0;
    auto advance = [&](PictureProgress::Stage stage, int32_t block) {
        ++position;
        if (callbacks.advanced)
            callbacks.advanced({stage, block, position, maximum});
    };

    // A slot the instrument does not have is not sent at all.
    if (slot < 0 || slot >= PictureSlotCount || !connection.StartPicture(slot))
        return PictureDownloadText::LoadFailure;
    advance(PictureProgress::Stage::Start, 0);

    const std::span<const uint8_t> all(bytes);
    for (size_t j = 0; j < blockCount; ++j) {
        const auto block = static_cast<int32_t>(j);
        bool acknowledged = false;
        for (int attempt = 1; attempt <= PictureBlockAttempts && !acknowledged; ++attempt) {
            if (callbacks.blockAttempt)
                callbacks.blockAttempt(block, attempt);
            acknowledged = connection.SendPictureData(
                all.subspan(j * PictureBlockBytes, PictureBlockBytes), block);
        }
        if (!acknowledged)
            return PictureDownloadText::LoadFailure;
        advance(PictureProgress::Stage::Block, block);
    }

    if (!connection.EndPicture())
        return PictureDownloadText::LoadFailure;
    advance(PictureProgress::Stage::End, 0);
    return {};
}

} // namespace

UserMessage DownloadPicture(ModbusRtuImpl& connection, const std::string& picturePath, int16_t slot,
                            const PictureDownloadCallbacks& callbacks) {
    DeviceRecords& records = connection.records();
    if (callbacks.loadSettings)
        callbacks.loadSettings(records.commSettings);
    std::string_view failure;
    if (!connection.OpenLink()) {
        failure = PictureDownloadText::SerialInitFailed;
    } else {
        records.linkActive = true;
        failure = Transfer(connection, picturePath, slot, callbacks);
    }
    if (records.linkActive) {
        connection.CloseLink();
        records.linkActive = false;
    }
    if (failure.empty())
        return {std::string(PictureDownloadText::Success), MessageIcon::Information};
    return {std::string(failure), MessageIcon::Error};
}
