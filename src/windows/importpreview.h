#ifndef IMPORTPREVIEW_H
#define IMPORTPREVIEW_H

#include "storage/import/check.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVector>

// The rows of a sheet as the import's preview shows them: a first row that
// holds the choices of what each column is, then every checked row (or only
// those with remarks) with what the check made of it, then its cells. A cell
// is read from the sheet only when it is painted, so that a file of 200,000
// rows costs the preview no more than the rows on the screen.
class ImportPreview : public QAbstractTableModel
{
    Q_OBJECT

public:
    // What the check made of a row of the sheet (its line, from 1).
    struct Verdict
    {
        int line = 0;
        Import::Action action = Import::Action::Skip;
        QString reason;
    };

    // The columns of the sheet shown at most: a sheet whose header row runs
    // to thousands of columns is matched whole by its headers, but only
    // these get a column and a choice in the preview.
    static constexpr int MAX_COLUMNS = 100;

    explicit ImportPreview(QObject *parent = nullptr);

    // The sheet's rows, its header row, the number of its columns, and the
    // verdicts of the checked rows in the order of the sheet.
    void show(const Import::Rows &rows, int headerRow, int columns, QVector<Verdict> verdicts);
    // Only the rows the check skips, with their reasons; or every row.
    void setOnlyRemarks(bool only);

    int checkedRows() const { return static_cast<int>(m_verdicts.size()); }
    int remarkRows() const { return static_cast<int>(m_remarks.size()); }
    int sheetColumns() const { return m_columns; }
    int shownColumns() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const Verdict &verdictAt(int row) const;

    Import::Rows m_rows;
    int m_headerRow = 0;
    int m_columns = 0;
    QVector<Verdict> m_verdicts;
    // The places in m_verdicts of the skipped rows.
    QVector<int> m_remarks;
    bool m_onlyRemarks = false;
};

#endif // IMPORTPREVIEW_H
