#pragma once
// The program's main window as the window benchmarks use it: made as the program makes it,
// with its settings in the benchmark's temporary folder, messages on standard error instead of
// boxes, and the designed size (the offscreen screen is smaller than the designed window).

#include "app/MainFormUnit.h"
#include "app/Startup.h"

#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

struct BenchWindow {
    explicit BenchWindow(const QTemporaryDir& settingsDir)
        : settings(settingsDir.filePath("Korvane.conf"), QSettings::IniFormat) {
        form->SetMessagePresenter([](QWidget*, const UserMessage& message) {
            std::fprintf(stderr, "%s\n", message.text.c_str());
        });
        form->show();
        form->resize(1280, 956);
    }

    // Points in the chart's series.
    size_t Points() const {
        size_t points = 0;
        for (int i = 0; i < chart->graphCount(); ++i)
            points += static_cast<size_t>(chart->graph(i)->dataCount());
        return points;
    }
    // Cursor times spread over the recording, so each read-out searches afresh.
    DateTime CursorAt(size_t i) const {
        const RecordingInfo& info = form->Recording().recordingInfo;
        return info.startTime + (info.endTime - info.startTime) * double(i % 997 + 1) / 998.0;
    }

    QSettings settings;
    std::unique_ptr<StartupObjects> objects = CreateStartupObjects(settings);
    TMainForm* form = objects->MainForm.get();
    TrendChart* chart = form->Chart;
};
