#pragma once
// The "Global figure" page: a scroll box with the summary line and 16 channel panels. Each
// panel shows one monitored channel's value and unit, its number, four alarm lamps and the
// four alarm limits. The page only displays; what it shows comes from the live views' logic.

#include "app/realtime/LiveViews.h"

#include <QScrollArea>

#include <array>

class QLabel;
class QLineEdit;

// One alarm indicator: lime green while quiet, red while raised, with its limit's name.
class AlarmLamp : public QWidget {
    Q_OBJECT
public:
    static const QColor Quiet;  // #00FF00
    static const QColor Raised; // #FF0000

    AlarmLamp(const QString& name, QWidget* parent);
    void SetRaised(bool raised);
    bool IsRaised() const { return raised_; }
    QColor Colour() const { return raised_ ? Raised : Quiet; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    bool raised_ = false;
};

class ChannelPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int Width = 161;
    static constexpr int Height = 203;

    explicit ChannelPanel(QWidget* parent);
    // Placeholders and quiet lamps, as before the first tick.
    void Reset();
    void Show(const PanelTexts& texts);

    QLabel* ValueLabel;
    QLabel* ChannelLabel;
    std::array<AlarmLamp*, AlarmIndicatorCount> Indicators;
    std::array<QLineEdit*, AlarmIndicatorCount> LimitFields;

    bool InAlarm() const { return alarm_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SetAlarmLook(bool alarm);
    bool alarm_ = false;
};

class GlobalFigurePage : public QScrollArea {
    Q_OBJECT
public:
    explicit GlobalFigurePage(QWidget* parent = nullptr);

    // The summary line and the panels of the first `count` positions, reset to placeholders.
    void ShowPanels(size_t count);
    // Hides the summary line and every panel.
    void HideAll();
    void SetSummary(const std::string& text);
    // The lost-contact indication beside the summary line; empty hides it.
    void SetNoAnswer(const QString& text);
    void SetPanel(size_t position, const PanelTexts& texts);

    // The panel that shows the channel at a position of the monitored channels.
    ChannelPanel* PanelAt(size_t position) const { return panels_[position]; }
    QLabel* TotalInfo;
    QLabel* NoAnswerInfo;

private:
    // The summary line and the indication at their full widths, the box widened to hold them.
    void LayOutSummary();

    std::array<ChannelPanel*, PanelCount> panels_{};
};
