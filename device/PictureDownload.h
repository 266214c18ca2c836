#pragma once
// Downloading a picture into one of the recorder's six picture slots: the picture file's bytes,
// zero-filled to 512-byte blocks, go out as one start frame, one data frame per block (each
// tried up to ten times) and one end frame. The download dialog and the command-line tool both
// run it; it only reports progress and returns the message the user is shown at the end.

#include "data/RecorderFile.h"
#include "device/DeviceTexts.h"
#include "device/ModbusRtuImpl.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace PictureDownloadText {
inline constexpr std::string_view Success = "File Load success!";
inline constexpr std::string_view SerialInitFailed = DeviceText::SerialInitFailed;
inline constexpr std::string_view FileReadFailure = "File read failure!";
inline constexpr std::string_view LoadFailure = "File Load failure!";
} // namespace PictureDownloadText

constexpr size_t PictureBlockBytes = 512;
constexpr int PictureBlockAttempts = 10;
constexpr int PictureSlotCount = 6;

// Fills bytes with zeros up to a multiple of PictureBlockBytes; returns the block count.
size_t FillPictureBlocks(std::vector<uint8_t>& bytes);

// One step of the progress: the start frame, a block, or the end frame acknowledged.
struct PictureProgress {
    enum class Stage { Start, Block, End };
    Stage stage = Stage::Start;
    int32_t block = 0; // the block's number for Stage::Block
    int position = 0;  // the progress position after this step, 1 to maximum
    int maximum = 0;   // block count + 2
};

// "Block 3 of 12, attempt 4 of 10": block counts from 0, shown from 1.
std::string PictureAttemptText(int32_t block, int blockCount, int attempt);

struct PictureDownloadCallbacks {
    // Fills connection.records().commSettings; called once, before the port is opened.
    std::function<void(CommSettings& settings)> loadSettings;
    // The progress maximum, set once the file has been read.
    std::function<void(int maximum)> progressMaximum;
    // After each acknowledged frame.
    std::function<void(const PictureProgress& step)> advanced;
    // Before each attempt of a data frame (attempt 1 to PictureBlockAttempts).
    std::function<void(int32_t block, int attempt)> blockAttempt;
};

// The whole download on the caller's thread: settings, port, file, frames, port closed again.
// slot is 0 for the first picture slot. Returns "File Load success!" with the information icon,
// or the failure message with the error icon; the link's detailed text stays in lastError.
UserMessage DownloadPicture(ModbusRtuImpl& connection, const std::string& picturePath, int16_t slot,
                            const PictureDownloadCallbacks& callbacks);
