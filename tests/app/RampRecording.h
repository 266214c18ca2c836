#pragma once
// A small recording the window tests open: one channel (1, range 0..100.0, "℃") of `samples`
// one-second samples from 2015-03-16 08:00:00 reading 0.0, 0.1, 0.2 ... (raw values 0, 1, 2 ...
// scaled by ten, restarting at 1000).

#include "data/DateTime.h"
#include "data/RecorderFileWriter.h"

#include <QString>

#include <algorithm>
#include <gtest/gtest.h>

inline const DateTime RampStart = 42079 + 8.0 / 24; // 2015-03-16 08:00:00

inline void WriteRampRecording(const QString& path, int samples) {
    RecorderFileBuilder file;
    file.SetChannelIndices(0, 0);
    file.SetStartTime(*HeaderTimeFromDateTime(RampStart));
    file.SetEndTime(*HeaderTimeFromDateTime(RampStart + (samples - 1) * OneSecond));
    file.SetDescriptor(0, {1000, 0, 3, 19, 1});
    std::vector<DataRecord> records;
    for (int first = 0; first < samples; first += 700) {
        DataRecord record;
        record.time = static_cast<int32_t>(RecorderSecondsFromDateTime(RampStart)) + first;
        for (int i = first; i < std::min(samples, first + 700); ++i)
            record.samples.push_back(static_cast<int16_t>(i % 1000));
        records.push_back(record);
    }
    file.AppendBlock(records);
    ASSERT_FALSE(WriteBinaryFile(path.toStdString(), file.Bytes()));
}

// One channel of `samples` one-second samples from RampStart + offset seconds, raw values from
// rawFirst (a tenth each), in the unit of unitCode (19 ℃, 12 Mpa).
inline void WriteSecondsRecording(const QString& path, int offset, int samples, int16_t rawFirst,
                                  int16_t unitCode = 19) {
    const DateTime start = RampStart + offset * OneSecond;
    RecorderFileBuilder file;
    file.SetChannelIndices(0, 0);
    file.SetStartTime(*HeaderTimeFromDateTime(start));
    file.SetEndTime(*HeaderTimeFromDateTime(start + (samples - 1) * OneSecond));
    file.SetDescriptor(0, {1000, 0, 3, unitCode, 1});
    DataRecord record;
    record.time = static_cast<int32_t>(RecorderSecondsFromDateTime(start));
    for (int i = 0; i < samples; ++i)
        record.samples.push_back(static_cast<int16_t>(rawFirst + i));
    file.AppendBlock({record});
    ASSERT_FALSE(WriteBinaryFile(path.toStdString(), file.Bytes()));
}
