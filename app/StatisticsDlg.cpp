#include "app/StatisticsDlg.h"

#include "chart/ChartReadout.h"
#include "views/IntervalStatistics.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList Headers = {
    QStringLiteral("Channel"),    QStringLiteral("Unit"),       QStringLiteral("Samples"),
    QStringLiteral("Minimum"),    QStringLiteral("Minimum at"), QStringLiteral("Maximum"),
    QStringLiteral("Maximum at"), QStringLiteral("Mean"),       QStringLiteral("First"),
    QStringLiteral("Last"),       QStringLiteral("Difference")};

} // namespace

TStatisticsDlg::TStatisticsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Statistics A\u2013B"));
    setModal(false);
    IntervalLabel = new QLabel(this);
    Table = new QTableWidget(this);
    Table->setColumnCount(static_cast<int>(Headers.size()));
    Table->setHorizontalHeaderLabels(Headers);
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionMode(QAbstractItemView::NoSelection);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this, &TStatisticsDlg::CopyButtonClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(IntervalLabel);
    layout->addWidget(Table);
    layout->addWidget(buttons);
    resize(900, 300);
}

void TStatisticsDlg::SetContent(DateTime a, DateTime b,
                                const std::vector<std::vector<std::string>>& rows) {
    a_ = a;
    b_ = b;
    IntervalLabel->setText(QString::fromStdString(PairTitle(a, b))); // as the legend names it
    rows_ = rows;
    Table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const std::vector<std::string>& cells = rows[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(cells.size()) && c < Table->columnCount(); ++c) {
            QTableWidgetItem* item = Table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                Table->setItem(r, c, item);
            }
            item->setText(QString::fromStdString(cells[static_cast<size_t>(c)]));
        }
    }
}

QString TStatisticsDlg::TableText() const {
    std::string text = IntervalLines(a_, b_, '\t');
    text += JoinCells(StatisticsColumns(), '\t');
    for (const std::vector<std::string>& cells : rows_)
        text += JoinCells(cells, '\t');
    return QString::fromStdString(text);
}

void TStatisticsDlg::CopyButtonClick() {
    QApplication::clipboard()->setText(TableText());
}
