#include "host/ResultModel.h"

namespace zyr::host {

ResultModel::ResultModel(IconCache& icons, QObject* parent) : QAbstractTableModel(parent), icons_(icons) {}

void ResultModel::Reset(QStringList titles, const std::vector<ResultRow>& rows)
{
    beginResetModel();
    titles_ = std::move(titles);
    rows_ = rows;
    rowOf_.clear();
    rowOf_.reserve(rows_.size());
    for (size_t row = 0; row < rows_.size(); ++row) {
        rowOf_.emplace(rows_[row].id, static_cast<int>(row));
    }
    endResetModel();
}

int ResultModel::RowOf(HRESULTITEM id) const
{
    auto it = rowOf_.find(id);
    return it == rowOf_.end() ? -1 : it->second;
}

HRESULTITEM ResultModel::IdAt(int row) const
{
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)].id : 0;
}

int ResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
        return {};
    }
    const ResultRow& row = rows_[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column < row.texts.size()) {
            const std::u16string& text = row.texts[column];
            return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
        }
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    case Qt::DecorationRole:
        return column == 0 ? QVariant(icons_.Icon(row.image)) : QVariant();
    case RowIdRole:
        return QVariant::fromValue<qlonglong>(row.id);
    default:
        return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < titles_.size()) {
        return titles_[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace zyr::host
