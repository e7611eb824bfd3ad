#ifndef IMPORT_WRITE_H
#define IMPORT_WRITE_H

#include "storage/import/check.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Writing a checked import: a backup of the register first, then every row
// in one transaction (all or nothing), the reference entries it needs, the
// history, and the recount of the summary's counts.
namespace Import {

struct Written
{
    int added = 0;
    int updated = 0;
    // Servicemen left as they were: the file gives their stored values.
    int unchanged = 0;
    int orders = 0;
    int ranks = 0;     // entries added to the reference lists
    int positions = 0;
    // The backup made before writing.
    QString backup;
    // Stopped by the user: nothing was written.
    bool cancelled = false;
    // Why nothing was written, in plain Russian.
    QString error;
    // The connection to the server broke at the commit: whether the import
    // was written is not known (error says so).
    bool unknown = false;
};

// Told of the rows written so far; false stops the import (nothing stays).
using Progress = std::function<bool(int done, int total)>;

// Writes what the checks let through (either may be null). `source` names
// the file for the history. False when nothing was written (an error, or
// cancelled).
bool write(const ServicemenCheck *servicemen, const OrdersCheck *orders, const QString &source,
           Written *written, const Progress &progress = {});

// The rows that are skipped, with their reasons, for the report the user
// may save: a header row, then "Лист", "Строка", "Личный номер", "Причина".
QVector<QStringList> skippedReport(const ServicemenCheck *servicemen, const OrdersCheck *orders);

} // namespace Import

#endif // IMPORT_WRITE_H
