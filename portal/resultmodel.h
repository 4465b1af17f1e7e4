#pragma once

#include "portal/links.h"
#include "portal/results.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <optional>

namespace portal {

// The rows of the result list: row k (from 0) shows link k + 1 of a Links list as its ID, film
// name, size and format, and follows the list as it changes. A row's texts are made when a view
// asks for them, so a list of any length costs no more than its links and is set up at once. A
// row's tooltip is its whole link, and a row dragged out carries its link as plain text.
class ResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The rows of `links`, which must outlive the model.
    explicit ResultModel(Links* links, QObject* parent = nullptr);

    // The column headers; their number is the number of columns.
    void setColumnTitles(const QStringList& titles);

    // The text of a cell; the empty text outside the rows and columns.
    QString text(int row, int column) const;
    // The whole link of a row; none outside the rows.
    std::optional<QString> link(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The links of the rows among `indexes`, in row order, one per line.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    const ResultRow& row(int r) const;

    Links* const links_;
    QStringList titles_;
    // A view asks for a row's cells one after another; the last row made is kept.
    mutable int madeRow_ = -1;
    mutable ResultRow made_;
};

} // namespace portal
