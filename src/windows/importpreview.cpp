#include "windows/importpreview.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

using Import::Action;

namespace {

const QColor SKIPPED(255, 215, 215);

QString actionText(Action action, const QString &reason)
{
    switch (action) {
    case Action::Add:
        return QStringLiteral("добавить");
    case Action::Update:
        return QStringLiteral("обновить");
    case Action::Unchanged:
        return QStringLiteral("без изменений");
    case Action::Skip:
        break;
    }
    return QStringLiteral("пропустить: ") + reason;
}

} // namespace

ImportPreview::ImportPreview(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ImportPreview::show(const Import::Rows &rows, int headerRow, int columns,
                         QVector<Verdict> verdicts)
{
    beginResetModel();
    m_rows = rows;
    m_headerRow = headerRow;
    m_columns = rows.isEmpty() ? 0 : columns;
    m_verdicts = std::move(verdicts);
    m_remarks.clear();
    for (int i = 0; i < m_verdicts.size(); ++i) {
        if (m_verdicts.at(i).action == Action::Skip)
            m_remarks.append(i);
    }
    endResetModel();
}

void ImportPreview::setOnlyRemarks(bool only)
{
    if (only == m_onlyRemarks)
        return;
    beginResetModel();
    m_onlyRemarks = only;
    endResetModel();
}

int ImportPreview::shownColumns() const
{
    return std::min(m_columns, MAX_COLUMNS);
}

int ImportPreview::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_rows.isEmpty())
        return 0;
    return 1 + (m_onlyRemarks ? remarkRows() : checkedRows());
}

int ImportPreview::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_rows.isEmpty())
        return 0;
    return 1 + shownColumns();
}

const ImportPreview::Verdict &ImportPreview::verdictAt(int row) const
{
    return m_verdicts.at(m_onlyRemarks ? m_remarks.at(row - 1) : row - 1);
}

QVariant ImportPreview::data(const QModelIndex &index, int role) const
{
    // The first row holds the choices of the columns, set over it.
    if (!index.isValid() || index.row() == 0)
        return QVariant();
    const Verdict &v = verdictAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.column() == 0)
            return actionText(v.action, v.reason);
        return role == Qt::DisplayRole ? m_rows.at(v.line - 1).value(index.column() - 1) : QVariant();
    case Qt::BackgroundRole:
        return v.action == Action::Skip ? QVariant(QBrush(SKIPPED)) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ImportPreview::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || m_rows.isEmpty())
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section == 0 ? QStringLiteral("Проверка") : m_rows.value(m_headerRow).value(section - 1);
    if (section == 0)
        return QStringLiteral("Столбец");
    return section < rowCount() ? QVariant(verdictAt(section).line) : QVariant();
}
