#include "tools/cli/WindowSupport.h"

#include "app/Startup.h"
#include "app/archive/ArchiveChoices.h"
#include "data/Text.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace {

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The window's own diagnostics (offscreen platform notes and the like) are no concern of a
// script: only Qt's critical and fatal messages reach standard error.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s: %s\n", ToolName, message.toLocal8Bit().constData());
}

} // namespace

std::optional<WindowOptions> ParseWindowOptions(const std::vector<std::string>& args,
                                                const std::vector<std::string>& accepted) {
    WindowOptions options;
    std::vector<std::string> rest = args;
    if (!TakeViewOptions(rest, options.screening) || !TakeDatabaseOption(rest, options.database))
        return std::nullopt;
    auto takes = [&](const std::string& name) {
        return std::find(accepted.begin(), accepted.end(), name) != accepted.end();
    };
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (!arg.starts_with("--")) {
            options.paths.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (!takes(name)) {
            UsageError("unknown option " + name);
            return std::nullopt;
        }
        if (name == "--chart") {
            options.chart = true;
            continue;
        }
        if (name == "--own-scales") {
            options.ownScales = true;
            continue;
        }
        if (!value) {
            if (i + 1 >= rest.size()) {
                UsageError(name + " needs a value");
                return std::nullopt;
            }
            value = rest[++i];
        }
        const auto number = WholeNumber(*value);
        if (!number || *number <= 0) {
            UsageError(name + " needs a positive whole number, not " + *value);
            return std::nullopt;
        }
        if (name == "--width")
            options.width = number;
        else if (name == "--height")
            options.height = number;
        else if (name == "--page")
            options.page = number;
        else if (name == "--page-size")
            options.pageSize = number;
    }
    return options;
}

OffscreenWindow::OffscreenWindow() {
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
    static int argc = 1;
    static char name[] = "paperless-recorder-tool";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<RecorderApplication>(argc, argv);
    // Switches of their own: no load log, no service menus from the user's settings.
    dir_ = std::make_unique<QTemporaryDir>();
    settings_ = std::make_unique<QSettings>(dir_->filePath(QStringLiteral("Korvane.conf")),
                                            QSettings::IniFormat);
    objects_ = CreateStartupObjects(*settings_);
    Window().SetMessagePresenter([this](QWidget*, const UserMessage& message) {
        messages_.push_back(GbkToUtf8(message.text));
    });
}

OffscreenWindow::~OffscreenWindow() {
    objects_.reset();
    settings_.reset();
    dir_.reset();
    app_.reset();
}

void OffscreenWindow::SetPageSize(int rows) {
    objects_->DataFilterDlg->ItemsPerPage = static_cast<uint32_t>(rows);
}

bool OffscreenWindow::Open(const std::string& path, const std::string& database,
                           const TimeRange& range) {
    TMainForm& window = Window();
    // The designed size, whatever the offscreen screen measures.
    window.resize(TMainForm::DesignedClientSize());
    window.show();
    const size_t before = messages_.size();
    if (IsArchivePath(path))
        window.Views().OpenFromArchive(
            {ArchiveLocation(database), path.substr(ArchivePathPrefix.size()), range});
    else
        window.OpenDataFile(QString::fromLocal8Bit(path.c_str()));
    QApplication::processEvents();
    if (messages_.size() == before)
        return true;
    for (size_t i = before; i < messages_.size(); ++i)
        std::fprintf(stderr, "%s: %s: %s\n", ToolName, path.c_str(), messages_[i].c_str());
    return false;
}

bool OffscreenWindow::Screen(const ScreeningOptions& screening) {
    if (!screening.Screens())
        return true;
    TMainForm& window = Window();
    ScreeningSelection selection;
    if (!ResolveScreening(screening, window.Recording().recordingInfo, selection))
        return false;
    // The dialog keeps what was confirmed, as after "O K".
    TDataFilterDlg& dialog = *objects_->DataFilterDlg;
    dialog.ScreenStart = selection.start;
    dialog.ScreenEnd = selection.end;
    dialog.ChannelFlags = selection.channelFlags;
    window.Views().ApplyScreening(selection);
    QApplication::processEvents();
    return true;
}

TMainForm& OffscreenWindow::Window() {
    return *objects_->MainForm;
}
