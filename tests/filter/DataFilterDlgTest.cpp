#include "filter/DataFilter.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DateTime At(int year, int month, int day, int hour, int minute, int second) {
    return *EncodeDateTime({year, month, day, hour, minute, second, 0});
}

const DateTime Start = At(2015, 3, 16, 8, 0, 0);
const DateTime End = At(2015, 3, 16, 18, 0, 0);

class DataFilterDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.SetMessagePresenter(
            [this](QWidget*, std::string_view text) { messages.emplace_back(text); });
        dlg.InitScreening(Start, End);
    }

    // Shows the dialog modally and runs `user` inside its loop, as a user would act.
    bool Ask(const std::function<void()>& user) {
        QTimer::singleShot(0, &dlg, user);
        return dlg.AskScreeningSettings();
    }

    bool Ticked(int channelNumber) const {
        const int k = channelNumber - 1;
        return dlg.ChannelLists[static_cast<size_t>(k / 8)]->item(k % 8)->checkState() ==
               Qt::Checked;
    }
    void Tick(int channelNumber, bool on) {
        const int k = channelNumber - 1;
        dlg.ChannelLists[static_cast<size_t>(k / 8)]->item(k % 8)->setCheckState(
            on ? Qt::Checked : Qt::Unchecked);
    }

    TDataFilterDlg dlg;
    std::vector<std::string> messages;
};

} // namespace

TEST_F(DataFilterDlgTest, LaidOutAsDesigned) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Data screening condition set"));
    EXPECT_EQ(dlg.size(), QSize(470, 460));
    EXPECT_EQ(dlg.ItemCountPerPageEdit->text(), QStringLiteral("500"));
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.OKBtn->text(), QStringLiteral("O K"));
    EXPECT_EQ(dlg.ChannelLists[3]->item(7)->text(), QStringLiteral("Chan 32"));
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(dlg.ChannelLists[static_cast<size_t>(g)]->isEnabled(), g < 2) << g;
    EXPECT_FALSE(dlg.SlectAllCheckBox3->isEnabled());
    EXPECT_TRUE(Ticked(1) && Ticked(16));
    EXPECT_EQ(dlg.StartDate->date(), QDate(2015, 3, 16));
    EXPECT_EQ(dlg.EndTime->time(), QTime(18, 0, 0));
}

TEST_F(DataFilterDlgTest, PickersCombineTheChosenDateWithTheChosenTime) {
    dlg.StartTime->setTime(QTime(9, 30, 0));
    dlg.OKBtnClick();
    EXPECT_EQ(FormatDateTime(dlg.ScreenStart, ReadoutTimePattern), "2015-03-16 09:30:00");

    dlg.InitScreening(Start, End);
    dlg.StartDate->setDate(QDate(2015, 3, 15));
    dlg.OKBtnClick();
    EXPECT_EQ(FormatDateTime(dlg.ScreenStart, ReadoutTimePattern), "2015-03-15 08:00:00");
    EXPECT_EQ(CompareTimes(dlg.ScreenEnd, End), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DataFilterDlgTest, RefusalsKeepTheDialogOpenAndTheSettings) {
    dlg.ItemsPerPage = 700;
    dlg.InitScreening(Start, End);
    dlg.EndDate->setDate(QDate(2015, 3, 16));
    dlg.EndTime->setTime(QTime(8, 0, 0)); // S = E
    const bool confirmed = Ask([this] {
        dlg.OKBtnClick();
        EXPECT_TRUE(dlg.isVisible());
        dlg.EndTime->setTime(QTime(18, 0, 0));
        dlg.ItemCountPerPageEdit->setText(QStringLiteral("99"));
        dlg.OKBtnClick();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), dlg.ItemCountPerPageEdit);
        dlg.CancelBtn->click();
    });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(messages, (std::vector<std::string>{"the input is not correct.",
                                                  "Please enter an integer between 100 and "
                                                  "10000."}));
    EXPECT_EQ(dlg.ItemsPerPage, 700u);
    EXPECT_EQ(dlg.ScreenEnd, End);
    // The controls keep what was typed until the next InitScreening.
    EXPECT_EQ(dlg.ItemCountPerPageEdit->text(), QStringLiteral("99"));
    dlg.InitScreening(Start, End);
    EXPECT_EQ(dlg.ItemCountPerPageEdit->text(), QStringLiteral("700"));
}

TEST_F(DataFilterDlgTest, UntickedChannelsSurviveCancelAndApplyOnOk) {
    EXPECT_FALSE(Ask([this] {
        dlg.SlectAllCheckBox2->click(); // clears 9..16
        Tick(3, false);
        dlg.CancelBtn->click();
    }));
    EXPECT_TRUE(dlg.ChannelFlags[2] && dlg.ChannelFlags[8] && dlg.AllFlag2);
    EXPECT_FALSE(Ticked(3));
    EXPECT_FALSE(Ticked(9) || Ticked(16));
    EXPECT_TRUE(dlg.SlectAllCheckBox1->isChecked()); // a single item leaves "All" alone

    EXPECT_TRUE(Ask([this] { dlg.OKBtn->click(); }));
    std::array<bool, 16> expected;
    expected.fill(false);
    for (int n : {1, 2, 4, 5, 6, 7, 8})
        expected[static_cast<size_t>(n - 1)] = true;
    EXPECT_EQ(dlg.ChannelFlags, expected);
    EXPECT_FALSE(dlg.AllFlag2);
    EXPECT_EQ(dlg.Selection().channelFlags, expected);

    // A new recording selects every channel again once the dialog is initialised.
    dlg.ResetChannelSelection();
    EXPECT_FALSE(Ticked(9)); // controls untouched until then
    dlg.InitScreening(Start, End);
    EXPECT_TRUE(Ticked(9) && Ticked(3) && dlg.SlectAllCheckBox2->isChecked());
}
