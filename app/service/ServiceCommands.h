#pragma once
// The two service functions, shown only when switched on in the settings store: importing a
// recording from a CSV file of single samples, and downloading a picture into the instrument.
// Owns the import's file choice (the next dialog starts in its folder) and each use of the
// download dialog. The import itself is RecordingViews's: ImportRequested asks for it.
//
// Needs: the window (parent of the dialogs) and the recorder connection of the live run, whose
// port the download shares.

#include <QObject>
#include <QString>

class QWidget;
class RealTimeMonitor;

class ServiceCommands : public QObject {
    Q_OBJECT
public:
    ServiceCommands(QWidget* window, RealTimeMonitor& monitor);

    // The import's file dialog, then ImportDataFile.
    void ImportData();
    // Remembers the file and asks for its import.
    void ImportDataFile(const QString& path);
    // A fresh download dialog for each use, shown modally; never during a live run.
    void OnOEMDLClick();

signals:
    void ImportRequested(const QString& path);

private:
    QWidget* window_;
    RealTimeMonitor& monitor_;
    QString ImportFileName;
};
