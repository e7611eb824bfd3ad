#include "storage/register/recount.h"

#include "function.h"
#include "storage/register/summarycolumns.h"
#include "storage/db/transaction.h"

#include "storage/db/errors.h"
#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>

namespace {

// The counts this run has left unsettled, as "personal number / code".
QSet<QString> &unsettled()
{
    static QSet<QString> keys;
    return keys;
}

QString key(const QString &ln, const QString &code)
{
    return ln + QChar(0x1f) + code;
}

// The marker lies beside the database file the program has open; on a
// server, in the database folder of this workstation.
QString marker()
{
    const QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    const QString folder = db.isValid() && !Sql::onServer(db) && !db.databaseName().isEmpty()
                               ? QFileInfo(db.databaseName()).absolutePath()
                               : Settings::databaseFolder();
    return QDir(folder).filePath(QString::fromLatin1(Paths::COUNTS_UNSETTLED_FILE));
}

} // namespace

Recount::Result Recount::category(const QString &ln, const QString &code, QSqlError *error)
{
    // The code stands in the statement as a column name: only the six codes.
    if (!SummaryColumns::isCategory(code))
        return Result::NotACategory;
    if (Sql::onServer()) {
        // The count and its writing in one statement, one round trip, while
        // the serviceman's row is held: no clerk's order can come between
        // them, and none committed before is left out.
        const char *statement =
            code == QLatin1String(Code::VZS) ? Sql::RECOUNT_PENALTIES_AT_ONCE : Sql::RECOUNT_AT_ONCE;
        const QSqlQuery query = Function::Myquery(
            QString::fromLatin1(statement).arg(code, QString::fromLatin1(ln.toUtf8().toHex())));
        if (query.isActive())
            return Result::Done;
        *error = query.lastError();
        return Result::NotCounted;
    }
    Result result = Result::Done;
    // The count and its writing, as the summary's recount has always run them.
    auto steps = [&](QSqlError &failure) {
        int count = 0;
        QSqlQuery query;
        if (code == QLatin1String(Code::VZS)) {
            query = Function::Myquery(QString::fromLatin1(Sql::COUNT_VZS_1) + Query::quote(ln) +
                                      QString::fromLatin1(Sql::COUNT_VZS_2) + Query::quote(code) +
                                      QString::fromLatin1(Sql::COUNT_VZS_3));
            // Only penalties in force count; lifted ones hold 0.
            while (query.next()) {
                if (query.value(0).toInt() == 1)
                    ++count;
            }
        } else {
            query = Function::Myquery(QString::fromLatin1(Sql::COUNT_OTHER_1).arg(QStringLiteral("prikaz")) +
                                      Query::quote(ln) + QString::fromLatin1(Sql::COUNT_OTHER_2) +
                                      Query::quote(code) + QString::fromLatin1(Sql::COUNT_OTHER_3));
            while (query.next())
                ++count;
        }
        // A server sends the rows one by one: a failure met while they came
        // (another clerk's write at the same moment) ends them early, and
        // the count is no count.
        if (!query.isActive() || query.lastError().isValid()) {
            failure = query.lastError();
            result = Result::NotCounted;
            return false;
        }
        query.finish();
        query = Function::Myquery(QString::fromLatin1(Sql::UPDATE_COUNT_1) + code +
                                  QString::fromLatin1(Sql::UPDATE_COUNT_2).arg(count) + Query::quote(ln) +
                                  QString::fromLatin1(Sql::UPDATE_COUNT_3));
        if (!query.isActive()) {
            failure = query.lastError();
            result = Result::NotWritten;
            return false;
        }
        result = Result::Done;
        return true;
    };
    QSqlError failure;
    if (!steps(failure))
        *error = failure;
    return result;
}

bool Recount::wholeRegister(int *corrected, QSqlError *error)
{
    *corrected = 0;
    QSqlQuery query = Function::Myquery(Sql::text(Sql::RECOUNT_ALL));
    if (!query.isActive()) {
        *error = query.lastError();
        return false;
    }
    *corrected = std::max(query.numRowsAffected(), 0);
    return true;
}

void Recount::pending(const QString &ln, const QString &code)
{
    if (unsettled().isEmpty()) {
        QFile file(marker());
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
    unsettled().insert(key(ln, code));
}

void Recount::settled(const QString &ln, const QString &code)
{
    if (unsettled().remove(key(ln, code)) && unsettled().isEmpty())
        QFile::remove(marker());
}

QString Recount::atStart()
{
    // Counts only this program's own orders window leaves unsettled: with
    // no marker the stored counts are shown as they are.
    if (!unsettled().isEmpty() || !QFile::exists(marker()))
        return {};
    int corrected = 0;
    QSqlError error;
    QString failure;
    if (!wholeRegister(&corrected, &error)) {
        failure = QStringLiteral("Количество приказов в сводной таблице не проверено при запуске (%1): числа "
                                 "в таблице могут быть неверны. Программа проверит их при следующем запуске.")
                      .arg(Errors::describe(error));
    }
    else if (corrected > 0)
        Query::appendLog(
            QStringLiteral("При запуске исправлено количество приказов в сводной таблице у военнослужащих: %1 "
                           "(записанное не совпадало с приказами)\n")
                .arg(corrected));
    if (error.type() == QSqlError::NoError)
        QFile::remove(marker());
    return failure;
}
