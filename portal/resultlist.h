#pragma once

#include "portal/resultmodel.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace portal {

// The result list's control: a report view over its own ResultModel, one row per link of the
// window's list.
class ResultList : public QTreeView {
    Q_OBJECT
public:
    explicit ResultList(Links* links, QWidget* parent = nullptr)
        : QTreeView(parent), rows_(new ResultModel(links, this)) {
        setModel(rows_);
    }

    void setHeaderLabels(const QStringList& titles) { rows_->setColumnTitles(titles); }

    int rowCount() const { return rows_->rowCount(); }
    int columnCount() const { return rows_->columnCount(); }
    QString text(int row, int column) const { return rows_->text(row, column); }

    // The selected row, or -1.
    int selectedRow() const {
        const QModelIndexList selected = selectionModel()->selectedRows();
        return selected.isEmpty() ? -1 : selected.first().row();
    }
    // The whole link of the selected row; none without one.
    std::optional<QString> selectedLink() const { return rows_->link(selectedRow()); }
    void setCurrentRow(int row) { setCurrentIndex(rows_->index(row, 0)); }
    QRect rowRect(int row) const { return visualRect(rows_->index(row, 0)); }

private:
    ResultModel* rows_;
};

} // namespace portal
