#pragma once

#include "portal/resultmodel.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace portal {

// The result list's control: a report view over its own ResultModel.
class ResultList : public QTreeView {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr)
        : QTreeView(parent), rows_(new ResultModel(this)) {
        setModel(rows_);
    }

    void setHeaderLabels(const QStringList& titles) { rows_->setColumnTitles(titles); }
    void setLinks(const QStringList& links) { rows_->setLinks(links); }
    void clear() { rows_->clear(); }

    int rowCount() const { return rows_->rowCount(); }
    int columnCount() const { return rows_->columnCount(); }
    QString text(int row, int column) const { return rows_->text(row, column); }

    // The selected row, or -1.
    int selectedRow() const {
        const QModelIndexList selected = selectionModel()->selectedRows();
        return selected.isEmpty() ? -1 : selected.first().row();
    }
    void setCurrentRow(int row) { setCurrentIndex(rows_->index(row, 0)); }
    QRect rowRect(int row) const { return visualRect(rows_->index(row, 0)); }

private:
    ResultModel* rows_;
};

} // namespace portal
