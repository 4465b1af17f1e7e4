#include "portal/resultmodel.h"

namespace portal {

ResultModel::ResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultModel::setColumnTitles(const QStringList& titles) {
    beginResetModel();
    titles_ = titles;
    endResetModel();
}

void ResultModel::setLinks(const QStringList& links) {
    beginResetModel();
    links_ = links;
    madeRow_ = -1;
    endResetModel();
}

void ResultModel::clear() {
    setLinks({});
}

const ResultRow& ResultModel::row(int r) const {
    if (r != madeRow_) {
        made_ = zairuRow(r + 1, links_[r]);
        madeRow_ = r;
    }
    return made_;
}

QString ResultModel::text(int r, int column) const {
    if (r < 0 || r >= links_.size() || column < 0 || column >= titles_.size())
        return {};
    const ResultRow& cells = row(r);
    switch (column) {
    case 0:
        return cells.id;
    case 1:
        return cells.name;
    case 2:
        return cells.size;
    case 3:
        return cells.format;
    default:
        return {};
    }
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(links_.size());
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(titles_.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return text(index.row(), index.column());
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= titles_.size())
        return {};
    return titles_[section];
}

} // namespace portal
