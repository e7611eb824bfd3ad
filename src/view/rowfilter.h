#ifndef ROWFILTER_H
#define ROWFILTER_H

#include "storage/register/roster.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Which servicemen of the summary are shown: the row filters of the main
// window and its search, applied to the roster as read.
namespace RowFilter {

struct Filter
{
    // The item of the category list: 0 every category, 1 to 6 the category
    // of the count column 5 + category.
    int category = 0;
    // Only servicemen whose count in the category (with every category: in
    // any of them) is neither "0" nor empty, as a coloured count cell.
    bool onlyWithRecords = false;
    // Servicemen with a penalty on record, in force or lifted: kept by
    // onlyWithRecords where penalties count, although the count of
    // penalties holds only those in force. None: the counts alone.
    const QSet<QString> *withPenalties = nullptr;
    // One unit number, compared as stored; none: every unit.
    std::optional<QString> unit;
    // Only these personal numbers; none: everybody.
    const QSet<QString> *servicemen = nullptr;
    // Only rows with this text in some cell, without regard to case; empty:
    // no search.
    QString text;
};

// A count cell shows a record: neither "0" nor empty.
bool counts(const QString &count);

// True when the row passes every part of the filter.
bool keeps(const Filter &filter, const Roster::Row &row);

// The places of the rows that pass, in their order.
std::vector<int> apply(const Filter &filter, const std::vector<Roster::Row> &rows);

// Every distinct unit number of the rows once, and `also` when given, in
// natural order (the leading number first, then the rest of the text).
QStringList units(const std::vector<Roster::Row> &rows, const std::optional<QString> &also = std::nullopt);

} // namespace RowFilter

#endif // ROWFILTER_H
