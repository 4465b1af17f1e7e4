#include "portal/resultmodel.h"

#include <QMimeData>

#include <set>

namespace portal {

ResultModel::ResultModel(Links* links, QObject* parent)
    : QAbstractTableModel(parent), links_(links) {
    connect(links_, &Links::aboutToChange, this, &ResultModel::beginResetModel);
    connect(links_, &Links::changed, this, [this] {
        madeRow_ = -1;
        endResetModel();
    });
}

void ResultModel::setColumnTitles(const QStringList& titles) {
    beginResetModel();
    titles_ = titles;
    endResetModel();
}

const ResultRow& ResultModel::row(int r) const {
    if (r != madeRow_) {
        made_ = zairuRow(r + 1, links_->list()[r]);
        madeRow_ = r;
    }
    return made_;
}

QString ResultModel::text(int r, int column) const {
    // A column before the first falls to the switch's default.
    if (r < 0 || r >= links_->size() || column >= titles_.size())
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

std::optional<QString> ResultModel::link(int r) const {
    if (r < 0 || r >= links_->size())
        return std::nullopt;
    return links_->list()[r];
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(links_->size());
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(titles_.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::ToolTipRole)
        return links_->list()[index.row()];
    if (role != Qt::DisplayRole)
        return {};
    return text(index.row(), index.column());
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QStringList ResultModel::mimeTypes() const {
    return {QStringLiteral("text/plain")};
}

QMimeData* ResultModel::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (checkIndex(index, CheckIndexOption::IndexIsValid))
            rows.insert(index.row());
    if (rows.empty())
        return nullptr;
    QStringList links;
    for (int r : rows)
        links << links_->list()[r];
    auto* data = new QMimeData;
    data->setText(links.join(QLatin1Char('\n')));
    return data;
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= titles_.size())
        return {};
    return titles_[section];
}

} // namespace portal
