#ifndef TABLECOPY_H
#define TABLECOPY_H

// The rows of the register's tables copied between a server and an SQLite
// file, for the backup of a server and for the restore and the move onto
// one. Over a network every statement costs a round trip: towards a server
// the rows go in statements of many thousands, the columns of every table
// come in one statement and the rows of several tables are counted in one.

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace TableCopy {

// A table of the register; the reference tables keep their ids, which the
// serviceman form does not rely on but an administrator may.
struct Table
{
    const char *name;
    bool ids;
};
// In the order they are filled.
inline constexpr Table TABLES[] = {
    {"Ranks", true}, {"Emploeses", true}, {"Combat", false}, {"prikaz", false}, {"Files", false}};
// The history of changes, copied with its ids as it is.
Table history();

// Told of the rows copied so far of a stage; false stops the work.
using Progress = std::function<bool(int done, int total, const QString &what)>;

// Runs one statement; on failure says why in `error`.
bool run(const QString &sql, const QSqlDatabase &db, QString *error, QSqlQuery *result = nullptr,
         const QVariantList &values = {});

// The columns of the tables of one database, read once: on a server every
// table's in one statement at the first question.
class TableColumns
{
public:
    explicit TableColumns(const QSqlDatabase &db) : m_db(db) {}
    // Empty where the table is not there.
    QStringList of(const QString &table);

private:
    QSqlDatabase m_db;
    bool m_allRead = false;
    QHash<QString, QStringList> m_tables;
};

// The rows of each of `tables`, in one statement; false with the reason in
// `error`.
bool countRows(const QSqlDatabase &db, const QStringList &tables, QList<int> *counts, QString *error);

// Copies every row of a table, in the order the rows were added, through
// statements of many rows each; `progress` is told of the rows copied.
bool copyRows(const QSqlDatabase &from, TableColumns &fromColumns, const QSqlDatabase &to,
              TableColumns &toColumns, const Table &table, QString *error, const Progress &progress = {});

// "перенос остановлен" in `error`, and false.
bool stopped(QString *error);

} // namespace TableCopy

#endif // TABLECOPY_H
