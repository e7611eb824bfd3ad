#ifndef IMPORT_CHECKROWS_H
#define IMPORT_CHECKROWS_H

#include "storage/import/columns.h"

#include <QDate>
#include <QSet>
#include <QString>

#include <array>

// What the checks of a sheet's rows share: dates as a spreadsheet gives
// them, what a row will do, and (inside the import) the reading of cells and
// the remarks both checks make.
namespace Import {

// A date as a spreadsheet gives it: "dd.MM.yyyy", "d.M.yy", "yyyy-MM-dd" or
// a day number (days from 30.12.1899; five digits at least, so that a year
// alone is not read as a day). Invalid when it is none of these or
// names no day of the calendar; `impossible` then tells a day that does not
// exist ("31.02.1990") from a text that is no date at all.
QDate readDate(const QString &text, bool *impossible = nullptr);
// A birth date as the serviceman form stores it: the date with 0:00 in the
// short date-and-time form of the user's language.
QString birthText(const QDate &date);

// Unchanged: a serviceman already in the register whose every value the file
// gives is the stored one (nothing is written for him).
enum class Action { Add, Update, Unchanged, Skip };

namespace Detail {

// The text of a cell, trimmed; a null text when the file has no such column.
inline QString cell(const Row &row, int index)
{
    if (index < 0)
        return QString();
    const QString text = row.value(index).trimmed();
    return text.isNull() ? QString(QLatin1String("")) : text;
}

// Where each kind of column stands (its first place), found once: a sheet
// may be thousands of columns wide, and every row asks.
class Places
{
public:
    explicit Places(const Matching &matching)
    {
        m_places.fill(-1);
        for (int i = static_cast<int>(matching.columns.size()) - 1; i >= 0; --i)
            m_places[static_cast<size_t>(matching.columns.at(i))] = i;
    }
    int operator()(Column column) const { return m_places[static_cast<size_t>(column)]; }

private:
    std::array<int, static_cast<size_t>(Column::LiftDate) + 1> m_places;
};

// A text without its blanks, in lower case: names compared as the eye
// reads them.
QString squeezed(const QString &text);

const QString &otherEncodingProblem();
// A text longer than its field holds, named with its column.
QString tooLongProblem(const QString &what, int limit, int column);
// A date that is not one: `impossible` when it names no day of the calendar.
QString dateProblem(const QString &what, const QString &text, bool impossible);

// The personal numbers the register holds, or false (and why) when they
// could not be read.
bool readNumbers(QSet<QString> *numbers, QString *error);

} // namespace Detail

} // namespace Import

#endif // IMPORT_CHECKROWS_H
