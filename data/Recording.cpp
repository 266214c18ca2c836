#include "data/Recording.h"

void ResetRecordingInfo(RecordingInfo& info) {
    info = RecordingInfo{};
}
