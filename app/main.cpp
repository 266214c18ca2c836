// Program entry: the application, its start-up objects and the message loop.

#include "app/Startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

int main(int argc, char* argv[]) {
    RecorderApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("paperless-recorder"));
    QApplication::setApplicationVersion(QStringLiteral("1.3.5"));
    try {
        const std::unique_ptr<QSettings> switches = OpenServiceSwitches();
        const std::unique_ptr<StartupObjects> objects = CreateStartupObjects(*switches);
        TMainForm* window = objects->MainForm.get();
        window->show();
        // A data file named on the command line opens as if chosen in the open dialog.
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1) {
            const QString path = arguments.at(1);
            QTimer::singleShot(0, window, [window, path] { window->OpenDataFile(path); });
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
