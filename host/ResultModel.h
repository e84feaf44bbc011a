// The rows of the result pane as a table model: one entry per row of the
// session, its texts turned into Qt's only when a view asks, so that lists of
// tens of thousands of rows fill, sort and filter without an item per cell.
#pragma once

#include "host/ConsoleSession.h"
#include "host/IconCache.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <unordered_map>
#include <vector>

namespace zyr::host {

class ResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The id of the row a cell belongs to (a qlonglong).
    static constexpr int RowIdRole = Qt::UserRole + 2;

    ResultModel(IconCache& icons, QObject* parent = nullptr);

    // Takes a copy of the rows and titles: the view never reads the session
    // while the snap-in is still changing it.
    void Reset(QStringList titles, const std::vector<ResultRow>& rows);
    // The model row of a result item; -1 when it is not listed.
    int RowOf(HRESULTITEM id) const;
    HRESULTITEM IdAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    IconCache& icons_;
    QStringList titles_;
    std::vector<ResultRow> rows_;
    std::unordered_map<HRESULTITEM, int> rowOf_;
};

} // namespace zyr::host
