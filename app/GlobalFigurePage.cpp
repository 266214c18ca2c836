#include "app/GlobalFigurePage.h"

#include "data/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace {

constexpr int ScrollWidth = 1600;
constexpr int ScrollHeight = 1200;
// Where the grid starts and how far apart the panels stand.
constexpr int GridLeft = 16;
// Below the summary line and the lost-contact line under it.
constexpr int SummaryTop = 12;
constexpr int NoAnswerTop = 36;
constexpr int GridTop = 64;
constexpr int GridStepX = 176;
constexpr int GridStepY = 216;

const QColor PanelInk(0x20, 0x20, 0x20);
const QColor QuietFrame(0x80, 0x80, 0x80);

const char* const LimitCaptions[AlarmIndicatorCount] = {"Upper\xEF\xBC\x9A", "Cap\xEF\xBC\x9A",
                                                        "Floor\xEF\xBC\x9A", "Lower\xEF\xBC\x9A"};
const char* const LampNames[AlarmIndicatorCount] = {"Upper", "Cap", "Floor", "Lower"};

QFont Sized(const QFont& base, int pixels, bool bold) {
    QFont font(base);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString FromGbk(const std::string& text) {
    return QString::fromStdString(GbkToUtf8(text));
}

} // namespace

const QColor AlarmLamp::Quiet(0x00, 0xFF, 0x00);
const QColor AlarmLamp::Raised(0xFF, 0x00, 0x00);
const QColor AlarmLamp::QuietDimmed(0xA8, 0xC8, 0xA8);
const QColor AlarmLamp::RaisedDimmed(0xD8, 0xA8, 0xA8);
const QColor ChannelPanel::StaleInk(0xA0, 0xA0, 0xA0);

QColor AlarmLamp::Colour() const {
    if (dimmed_)
        return raised_ ? RaisedDimmed : QuietDimmed;
    return raised_ ? Raised : Quiet;
}

void AlarmLamp::SetDimmed(bool dimmed) {
    if (dimmed == dimmed_)
        return;
    dimmed_ = dimmed;
    update();
}

AlarmLamp::AlarmLamp(const QString& name, QWidget* parent) : QWidget(parent), name_(name) {
    setFixedSize(40, 12);
    setToolTip(name);
}

void AlarmLamp::SetRaised(bool raised) {
    if (raised == raised_)
        return;
    raised_ = raised;
    update();
}

void AlarmLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Colour());
    const QColor rim = raised_ ? QColor(0x80, 0x00, 0x00) : QColor(0x00, 0x80, 0x00);
    painter.setPen(dimmed_ ? ChannelPanel::StaleInk : rim);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    // The limit's name inside the lamp: which alarm is up must not depend on counting lamps.
    painter.setFont(Sized(font(), 9, true));
    const QColor ink = raised_ ? QColor(Qt::white) : QColor(0x00, 0x50, 0x00);
    painter.setPen(dimmed_ ? QColor(0x70, 0x70, 0x70) : ink);
    painter.drawText(rect(), Qt::AlignCenter, name_);
}

ChannelPanel::ChannelPanel(QWidget* parent) : QWidget(parent) {
    setFixedSize(Width, Height);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, PanelInk);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, PanelInk);
    setPalette(palette);
    // The page behind is in the button face; the panel's labels draw with the window's ink.
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);

    ChannelLabel = new QLabel(this);
    ChannelLabel->setFont(Sized(font(), 14, true));
    ChannelLabel->setGeometry(8, 10, Width - 16, 20);
    ChannelLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    // Two lines when value and unit do not fit side by side.
    ValueLabel = new QLabel(this);
    ValueLabel->setFont(Sized(font(), 19, true));
    ValueLabel->setGeometry(6, 36, 101, 58);
    ValueLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ValueLabel->setWordWrap(true);

    for (int i = 0; i < AlarmIndicatorCount; ++i) {
        Indicators[i] = new AlarmLamp(QString::fromLatin1(LampNames[i]), this);
        Indicators[i]->move(109, 35 + 14 * i);

        auto* caption = new QLabel(QString::fromUtf8(LimitCaptions[i]), this);
        caption->setFont(Sized(font(), 12, false));
        caption->setGeometry(8, 101 + 24 * i, 52, 21);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

        LimitFields[i] = new QLineEdit(this);
        LimitFields[i]->setReadOnly(true);
        LimitFields[i]->setFrame(false);
        LimitFields[i]->setFocusPolicy(Qt::NoFocus);
        LimitFields[i]->setFont(Sized(font(), 13, false));
        LimitFields[i]->setGeometry(60, 101 + 24 * i, Width - 60 - 8, 21);
    }
    Reset();
}

void ChannelPanel::Reset() {
    ChannelLabel->setText(QStringLiteral("Channel --"));
    ValueLabel->setText(QStringLiteral("---"));
    for (AlarmLamp* lamp : Indicators)
        lamp->SetRaised(false);
    for (QLineEdit* field : LimitFields)
        field->clear();
    SetAlarmLook(false);
    SetStale(false);
}

void ChannelPanel::SetStale(bool stale) {
    if (stale == stale_)
        return;
    stale_ = stale;
    for (AlarmLamp* lamp : Indicators)
        lamp->SetDimmed(stale);
    ApplyLook();
}

void ChannelPanel::Show(const PanelTexts& texts) {
    ValueLabel->setText(FromGbk(texts.value));
    ChannelLabel->setText(QString::fromStdString(texts.channel));
    for (size_t i = 0; i < AlarmIndicatorCount; ++i) {
        Indicators[i]->SetRaised(texts.alarms[i]);
        const QString limit = QString::fromStdString(texts.limits[i]);
        if (LimitFields[i]->text() != limit)
            LimitFields[i]->setText(limit);
    }
    SetAlarmLook(texts.AnyAlarm());
}

// A panel in alarm gets a heavy red frame and a red value, so it stands out across the page.
void ChannelPanel::SetAlarmLook(bool alarm) {
    if (alarm == alarm_)
        return;
    alarm_ = alarm;
    ApplyLook();
}

void ChannelPanel::ApplyLook() {
    QPalette palette = ValueLabel->palette();
    palette.setColor(QPalette::WindowText, stale_   ? StaleInk
                                           : alarm_ ? AlarmLamp::Raised
                                                    : PanelInk);
    ValueLabel->setPalette(palette);
    update();
}

void ChannelPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int width = alarm_ ? 3 : 1;
    const QColor frame =
        alarm_ ? (stale_ ? AlarmLamp::RaisedDimmed : AlarmLamp::Raised) : QuietFrame;
    painter.setPen(QPen(frame, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    const qreal inset = width / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

GlobalFigurePage::GlobalFigurePage(QWidget* parent) : QScrollArea(parent) {
    auto* box = new QWidget;
    box->setFixedSize(ScrollWidth, ScrollHeight);
    box->setBackgroundRole(QPalette::Button);
    box->setAutoFillBackground(true);
    setWidget(box);
    setBackgroundRole(QPalette::Button);

    TotalInfo = new QLabel(box);
    TotalInfo->setFont(Sized(font(), 14, true));
    TotalInfo->setGeometry(GridLeft, SummaryTop, ScrollWidth - 2 * GridLeft, 22);
    TotalInfo->hide();
    NoAnswerInfo = new QLabel(box);
    NoAnswerInfo->setFont(Sized(font(), 14, true));
    QPalette red = NoAnswerInfo->palette();
    red.setColor(QPalette::WindowText, AlarmLamp::Raised);
    NoAnswerInfo->setPalette(red);
    // On the box's button face a label would draw with the button text colour otherwise.
    NoAnswerInfo->setForegroundRole(QPalette::WindowText);
    NoAnswerInfo->hide();

    for (size_t p = 0; p < PanelCount; ++p) {
        const PanelCell cell = PanelCellOf(p);
        panels_[p] = new ChannelPanel(box);
        panels_[p]->move(GridLeft + GridStepX * cell.column, GridTop + GridStepY * cell.row);
        panels_[p]->hide();
    }
}

void GlobalFigurePage::ShowPanels(size_t count) {
    TotalInfo->clear();
    TotalInfo->show();
    NoAnswerInfo->clear();
    NoAnswerInfo->hide();
    for (size_t p = 0; p < PanelCount; ++p) {
        panels_[p]->Reset();
        panels_[p]->setVisible(p < count);
    }
}

void GlobalFigurePage::HideAll() {
    TotalInfo->hide();
    NoAnswerInfo->hide();
    for (ChannelPanel* panel : panels_)
        panel->hide();
}

void GlobalFigurePage::SetSummary(const std::string& text) {
    TotalInfo->setText(QString::fromStdString(text));
    LayOutSummary();
}

void GlobalFigurePage::SetNoAnswer(const QString& text) {
    NoAnswerInfo->setText(text);
    NoAnswerInfo->setVisible(!text.isEmpty() && TotalInfo->isVisibleTo(this));
    LayOutSummary();
}

void GlobalFigurePage::LayOutSummary() {
    // Never cut: the line takes the width its text needs, and the box grows with it. The
    // indication has a line of its own: beside the summary, which is wider than most
    // windows, it would stand off the page's right edge.
    const int summaryWidth = TotalInfo->sizeHint().width();
    TotalInfo->setGeometry(GridLeft, SummaryTop, std::max(summaryWidth, 1), 22);
    int right = GridLeft + summaryWidth;
    if (!NoAnswerInfo->text().isEmpty()) {
        const int width = NoAnswerInfo->sizeHint().width();
        NoAnswerInfo->setGeometry(GridLeft, NoAnswerTop, width, 22);
        right = std::max(right, GridLeft + width);
    }
    widget()->setFixedWidth(std::max(ScrollWidth, right + GridLeft));
}

void GlobalFigurePage::SetStale(bool stale) {
    for (ChannelPanel* panel : panels_)
        panel->SetStale(stale);
}

void GlobalFigurePage::SetPanel(size_t position, const PanelTexts& texts) {
    if (position < panels_.size())
        panels_[position]->Show(texts);
}
