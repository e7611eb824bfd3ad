#include "storage/import/writereferences.h"

#include "storage/db/sql.h"

namespace Import::Detail {

namespace {

bool sameList(const char *statement, const QStringList &expected, QSqlError &error, bool *same)
{
    QSqlQuery query;
    if (!run(QString::fromLatin1(statement), {}, error, &query))
        return false;
    QStringList names;
    while (query.next())
        names.append(query.value(1).toString());
    *same = names == expected;
    return true;
}

// The new entries of a reference list, after its heaviest one.
bool addEntries(const char *maxWeight, const char *insert, const QStringList &names, QSqlError &error)
{
    if (names.isEmpty())
        return true;
    QSqlQuery query;
    if (!run(QString::fromLatin1(maxWeight), {}, error, &query) || !query.next())
        return false;
    const qlonglong heaviest = query.value(0).toLongLong();
    query.finish();
    for (int i = 0; i < names.size(); ++i) {
        if (!run(QString::fromLatin1(insert), {names.at(i), heaviest + 10 * (i + 1)}, error))
            return false;
    }
    return true;
}

} // namespace

bool writeReferences(const ServicemenCheck &servicemen, Writing &writing)
{
    QSqlError &error = writing.error;
    bool same = true;
    if (!sameList(Sql::SELECT_RANKS, servicemen.ranks, error, &same))
        return false;
    if (same && !sameList(Sql::SELECT_POSITIONS, servicemen.positions, error, &same))
        return false;
    if (!same) {
        writing.listsChanged = true;
        return false;
    }
    return addEntries(Sql::IMPORT_MAX_RANK_WEIGHT, Sql::IMPORT_INSERT_RANK, servicemen.newRanks, error) &&
           addEntries(Sql::IMPORT_MAX_POSITION_WEIGHT, Sql::IMPORT_INSERT_POSITION, servicemen.newPositions, error);
}

} // namespace Import::Detail
