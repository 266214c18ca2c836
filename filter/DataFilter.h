#pragma once
// The screening dialog: the time window, the channel selection and the data sheet's page size.
// Other parts of the window read the settings members directly.

#include "data/DateTime.h"
#include "filter/ScreeningInput.h"
#include "views/ViewBuilder.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimeEdit;

class TDataFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit TDataFilterDlg(QWidget* parent = nullptr);

    // After every load or import: the window becomes the recording's whole time window.
    void InitScreening(DateTime start, DateTime end);
    // Before every load, import and real-time start: every channel selected again. The
    // controls keep their marks until the next InitScreening.
    void ResetChannelSelection();
    // Shows the dialog modally; true when the user confirmed new settings.
    bool AskScreeningSettings();

    ScreeningSelection Selection() const;

    // Shows a refusal: caption "Paperless recorder", stop icon. Tests replace it.
    using MessagePresenter = std::function<void(QWidget* parent, std::string_view text)>;
    void SetMessagePresenter(MessagePresenter presenter);

    void SlectAllCheckBox1Click();
    void SlectAllCheckBox2Click();
    void SlectAllCheckBox3Click();
    void SlectAllCheckBox4Click();
    void OKBtnClick();

    DateTime ScreenStart = 0;
    DateTime ScreenEnd = 0;
    uint32_t ItemsPerPage = DefaultItemsPerPage; // always 100 to 10000
    std::array<bool, 16> ChannelFlags;
    DateTime PickerStart = 0;
    DateTime PickerEnd = 0;
    bool AllFlag1 = true;
    bool AllFlag2 = true;

    // Controls, named as the design names them.
    QGroupBox* ConditionGroup;
    QDateEdit* StartDate;
    QTimeEdit* StartTime;
    QDateEdit* EndDate;
    QTimeEdit* EndTime;
    QLineEdit* ItemCountPerPageEdit;
    QGroupBox* ChannelGroup;
    std::array<QGroupBox*, 4> ChannelGroups;
    std::array<QListWidget*, 4> ChannelLists;
    QCheckBox* SlectAllCheckBox1;
    QCheckBox* SlectAllCheckBox2;
    QCheckBox* SlectAllCheckBox3;
    QCheckBox* SlectAllCheckBox4;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void SetPickers(QDateEdit* date, QTimeEdit* time, DateTime value);
    DateTime PickedDateTime(QDateEdit* date, QTimeEdit* time, DateTime pickersSetTo) const;
    void SetListChecks(int list, bool checked);
    bool ListChecked(int list, int item) const;

    MessagePresenter presentMessage_;
};
