#include "storage/reports/reportday.h"

#include "storage/db/connection.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace Reports {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int number(const char *text, int length)
{
    int n = 0;
    for (int i = 0; i < length; ++i)
        n = n * 10 + (text[i] - '0');
    return n;
}

// yyyymmdd, or 0 when the text is not a date.
int dayOf(const char *text, int length)
{
    if (length != 10 || text[2] != '.' || text[5] != '.')
        return 0;
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (!isDigit(text[i]))
            return 0;
    }
    const int d = number(text, 2);
    const int m = number(text + 3, 2);
    const int y = number(text + 6, 4);
    if (y == 0 || m < 1 || m > 12 || d < 1)
        return 0;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    if (d > lengths[m - 1] + (m == 2 && leap ? 1 : 0))
        return 0;
    return y * 10000 + m * 100 + d;
}

void reportDay(sqlite3_context *context, int, sqlite3_value **values)
{
    // A number or a blob is read as its text, as a comparison of texts would.
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(values[0]));
    const int day = text ? dayOf(text, sqlite3_value_bytes(values[0])) : 0;
    if (day == 0)
        sqlite3_result_null(context);
    else
        sqlite3_result_int(context, day);
}

} // namespace

bool addDayFunction(const QSqlDatabase &db)
{
    sqlite3 *connection = Connection::fileHandle(db);
    return connection && sqlite3_create_function_v2(connection, "report_day", 1,
                                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                                    &reportDay, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace Reports
