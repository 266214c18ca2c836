// Program entry: the application, its start-up objects and the message loop.

#include "app/Startup.h"

#include "RecorderVersion.h"
#include "data/Utility.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Usage = R"(Usage: paperless-recorder [FILE]

Shows a paperless recorder's data file (.bin, .dat) as a data sheet and a trend diagram, and
monitors an instrument live over a serial line. FILE, when given, opens at start.

Options:
  -h, --help     show this text
  -v, --version  show the version

Settings: config.ini (serial line, channel selection, ports, records, the archive's database,
chart) lives in ~/.config/paperless-recorder/, the service switches in ~/.config/Korvane.conf.
The load log goes beside config.ini when the program is installed, beside the program
otherwise. The archive is by default ~/.local/share/paperless-recorder/archive.sqlite.
)";

} // namespace

int main(int argc, char* argv[]) {
    KeepFreedMemoryReturned();
    // Answered before the application object exists, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("paperless-recorder %s\n", RECORDER_VERSION);
            return 0;
        }
    }
    RecorderApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("paperless-recorder"));
    QApplication::setApplicationVersion(QStringLiteral(RECORDER_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/paperless-recorder.svg")));
    // Lets the desktop match the window to its entry (and so to its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("paperless-recorder"));
    try {
        const std::unique_ptr<QSettings> switches = OpenServiceSwitches();
        const std::unique_ptr<StartupObjects> objects = CreateStartupObjects(*switches);
        TMainForm* window = objects->MainForm.get();
        window->show();
        // A data file named on the command line opens as if chosen in the open dialog; several
        // files are joined, and so are the files of a folder.
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1) {
            const QStringList paths = arguments.mid(1);
            QTimer::singleShot(0, window,
                               [window, paths] { window->Views().OpenDataFiles(paths); });
        }
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Paperless recorder"),
                              QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Paperless recorder"), QString());
    }
    return 1;
}
