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
    // The same, dimmed: what the lamp showed last while no answer comes.
    static const QColor QuietDimmed;
    static const QColor RaisedDimmed;

    AlarmLamp(const QString& name, QWidget* parent);
    void SetRaised(bool raised);
    void SetDimmed(bool dimmed);
    bool IsRaised() const { return raised_; }
    bool IsDimmed() const { return dimmed_; }
    QColor Colour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    bool raised_ = false;
    bool dimmed_ = false;
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
    // Stale: the values are the last ones read while no answer comes; they turn grey and the
    // lamps dim until the next good tick.
    void SetStale(bool stale);
    bool IsStale() const { return stale_; }
    static const QColor StaleInk;

    QLabel* ValueLabel;
    QLabel* ChannelLabel;
    std::array<AlarmLamp*, AlarmIndicatorCount> Indicators;
    std::array<QLineEdit*, AlarmIndicatorCount> LimitFields;

    bool InAlarm() const { return alarm_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SetAlarmLook(bool alarm);
    void ApplyLook();
    bool alarm_ = false;
    bool stale_ = false;
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
    // Every panel's values stale (greyed, lamps dimmed) or live again.
    void SetStale(bool stale);

    // The panel that shows the channel at a position of the monitored channels.
    ChannelPanel* PanelAt(size_t position) const { return panels_[position]; }
    QLabel* TotalInfo;
    QLabel* NoAnswerInfo;

private:
    // The summary line at its full width, the box widened to hold it; the indication under
    // it at the left, where it stays whole in a window 1024 pixels wide.
    void LayOutSummary();

    std::array<ChannelPanel*, PanelCount> panels_{};
};
