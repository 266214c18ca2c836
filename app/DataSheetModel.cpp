#include "app/DataSheetModel.h"

#include "views/SheetCells.h"

DataSheetModel::DataSheetModel(const SheetRows& rows, const std::vector<ChannelInfo>& channels,
                               const std::vector<int16_t>& columnChannels, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), channels_(channels),
      columnChannels_(columnChannels) {}

void DataSheetModel::SetColumns(const QStringList& captions) {
    beginResetModel();
    captions_ = captions;
    endResetModel();
}

void DataSheetModel::SetPage(uint32_t pageStart, uint32_t itemCount) {
    beginResetModel();
    pageStart_ = pageStart;
    itemCount_ = itemCount;
    endResetModel();
}

void DataSheetModel::Clear() {
    beginResetModel();
    captions_.clear();
    pageStart_ = itemCount_ = 0;
    page_.Release();
    pageOf_.reset();
    endResetModel();
}

int DataSheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(itemCount_);
}

int DataSheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

const SheetRowsPage& DataSheetModel::PageRows() const {
    const auto of = std::make_tuple(rows_.Generation(), pageStart_, itemCount_);
    if (pageOf_ != of) {
        rows_.ReadPage(pageStart_, itemCount_, page_);
        pageOf_ = of;
    }
    return page_;
}

QString DataSheetModel::CellText(size_t row, int column) const {
    if (column == 0)
        return QString::fromStdString(SheetSerialText(row));
    const SheetRowsPage& page = PageRows();
    if (!page.Holds(row))
        return {};
    if (column == 1)
        return QString::fromStdString(SheetTimeText(page.Time(row)));
    return QString::fromStdString(SheetValueText(page.Entries(row), columnChannels_, channels_,
                                                 static_cast<size_t>(column - 2)));
}

QVariant DataSheetModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    // A row beyond the index gets no texts (a page of a list being rebuilt).
    const size_t row = size_t(pageStart_) + size_t(index.row());
    if (row >= rows_.RowCount())
        return {};
    return CellText(row, index.column());
}

QStringList DataSheetModel::ItemTexts(int item) const {
    QStringList texts;
    const size_t row = size_t(pageStart_) + size_t(item);
    if (item < 0 || row >= rows_.RowCount())
        return texts;
    for (int column = 0; column < columnCount(); ++column)
        texts << CellText(row, column);
    return texts;
}

QVariant DataSheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // The tool tip shows a caption the column is too narrow for.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || orientation != Qt::Horizontal ||
        section < 0 || section >= captions_.size())
        return {};
    return captions_[section];
}

Qt::ItemFlags DataSheetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
