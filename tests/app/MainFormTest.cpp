#include "app/DataSheetModel.h"
#include "app/Startup.h"

#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

// A settings file of its own per test, and every message the window would show.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ = std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
    }

    void Start() {
        objects_ = CreateStartupObjects(*settings_);
        window()->SetMessagePresenter([this](QWidget*, const UserMessage& message) {
            messages_.push_back(message.text);
            progressUpDuringMessage_ = objects_->ProcessDlg->isVisible();
        });
    }

    TMainForm* window() { return objects_->MainForm.get(); }
    PageButtons Paging() {
        return {window()->FirstPageButton->isEnabled(), window()->FrontPageButton->isEnabled(),
                window()->NextPageButton->isEnabled(), window()->EndPageButton->isEnabled()};
    }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
    bool progressUpDuringMessage_ = false;
};

} // namespace

TEST_F(MainFormTest, ServiceSwitchesAtStartUp) {
    struct Case {
        QVariant importData, oemdl;
        bool importShown, oemShown;
    };
    const Case cases[] = {
        {1, {}, true, false},
        {{}, 2, false, false},
        {QStringLiteral("1"), 1, true, true},
        {QStringLiteral("abc"), QStringLiteral("1.0"), false, false}, // no integer: off
        {0, QStringList{"1", "2"}, false, false},
    };
    for (const Case& c : cases) {
        settings_->clear();
        if (c.importData.isValid())
            settings_->setValue("ImportData", c.importData);
        if (c.oemdl.isValid())
            settings_->setValue("OEMDL", c.oemdl);
        settings_->sync();
        QSettings reread(settings_->fileName(), QSettings::IniFormat);
        TMainForm window(reread);
        EXPECT_EQ(window.ImportDataMenuItem->isVisible(), c.importShown) << c.importData.toString().toStdString();
        EXPECT_EQ(window.OEMDownLoad->isVisible(), c.oemShown) << c.oemdl.toString().toStdString();
    }
}

TEST_F(MainFormTest, SwitchesLiveInTheUsersKorvaneStore) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    EXPECT_EQ(OpenServiceSwitches()->fileName(), dir_.filePath("Korvane.conf"));
}

TEST_F(MainFormTest, StartsOnTheTrendDiagramWithTheDesignedState) {
    Start();
    TMainForm* w = window();
    EXPECT_EQ(w->windowTitle(), "Paperless recorder ");
    EXPECT_EQ(w->PageControl->currentWidget(), w->ChartTabSheet);
    EXPECT_EQ(w->CurrentPage, ShownPage::TrendDiagram);
    EXPECT_EQ(Paging(), PageButtons{});
    EXPECT_EQ(w->SavedPageButtons, PageButtons{});
    EXPECT_FALSE(w->StopButton->isEnabled() || w->StopMenuItem->isEnabled());
    EXPECT_TRUE(w->OpenFileButton->isEnabled() && w->RunButton->isEnabled());
    EXPECT_FALSE(w->PageControl->isTabVisible(w->PageControl->indexOf(w->SystemCaseTabSheet)));
    EXPECT_FALSE(w->SystemCaseMenuItem->isVisible());
    EXPECT_FALSE(w->ImportDataMenuItem->isVisible() || w->OEMDownLoad->isVisible());
    EXPECT_EQ(w->OpenFileMenuItem->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w->OpenFileButton->toolTip(), "Open File");
    EXPECT_EQ(w->ComSettingButton->toolTip(), "Real-time communication set ");
    EXPECT_FALSE(w->Timer->isActive());
    EXPECT_EQ(objects_->Form1->windowTitle(), "Form1");
    EXPECT_EQ(objects_->DataFilterDlg->ItemsPerPage, 500u);
}

TEST_F(MainFormTest, UnreadableFileClosesTheProgressAndLeavesEmptyViews) {
    Start();
    window()->OpenDataFile(dir_.filePath("missing.bin"));
    EXPECT_EQ(messages_, std::vector<std::string>{"Open file failure!"});
    EXPECT_TRUE(progressUpDuringMessage_); // the worker's message comes while the dialog is up
    EXPECT_FALSE(objects_->ProcessDlg->isVisible());
    EXPECT_EQ(objects_->ProcessDlg->ProgressText(), "Data are loading...");
    const DataSheetModel* sheet = window()->DataListModel;
    ASSERT_EQ(sheet->columnCount(), 2);
    EXPECT_EQ(sheet->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Serial number");
    EXPECT_EQ(sheet->headerData(1, Qt::Horizontal, Qt::DisplayRole), "Time");
    EXPECT_EQ(sheet->rowCount(), 0);
    EXPECT_EQ(window()->Chart->graphCount(), 0);
    EXPECT_EQ(Paging(), PageButtons{});
    EXPECT_TRUE(window()->ChartTool->Active());
    EXPECT_FALSE(window()->ChartTool2->Active());
}

TEST_F(MainFormTest, ProgressDialogIgnoresTheUser) {
    Start();
    TProcessDlg* dialog = objects_->ProcessDlg.get();
    dialog->show();
    QTest::keyClick(dialog, Qt::Key_Escape);
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    dialog->PostCloseRequest();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 2000);
}
