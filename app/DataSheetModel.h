#pragma once
// The data sheet as a virtual list: it holds no rows of its own, only the current page's place
// in the row index, and produces the texts of a cell when the view asks for them.

#include "data/Recording.h"
#include "views/SheetRows.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <optional>
#include <tuple>
#include <vector>

class DataSheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DataSheetModel(const SheetRows& rows, const std::vector<ChannelInfo>& channels,
                   const std::vector<int16_t>& columnChannels, QObject* parent = nullptr);

    // Column captions: "Serial number", "Time", then one per channel column.
    void SetColumns(const QStringList& captions);
    // Item k shows row pageStart + k of the index.
    void SetPage(uint32_t pageStart, uint32_t itemCount);
    // No columns and no items.
    void Clear();
    uint32_t ItemCount() const { return itemCount_; }
    uint32_t PageStart() const { return pageStart_; }

    // The texts of item k in column order; empty when the item shows no row.
    QStringList ItemTexts(int item) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString CellText(size_t row, int column) const;
    // The page's rows, read from the index when the page or the index has changed.
    const SheetRowsPage& PageRows() const;

    const SheetRows& rows_;
    const std::vector<ChannelInfo>& channels_;
    const std::vector<int16_t>& columnChannels_;
    QStringList captions_;
    uint32_t pageStart_ = 0;
    uint32_t itemCount_ = 0;
    mutable SheetRowsPage page_;
    mutable std::optional<std::tuple<uint64_t, uint32_t, uint32_t>> pageOf_; // generation, page
};
