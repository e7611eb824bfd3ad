#include "storage/import/readers.h"

#include <QDate>
#include <QFileInfo>

#include <cmath>

namespace Import::Detail {

QString shownName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString damagedMessage(const QString &path)
{
    return QString("Файл «%1» повреждён или записан не до конца: его не удаётся прочитать.").arg(shownName(path));
}

QString xmlMessage(const QString &path, const QString &part, qint64 line)
{
    return QString("Файл «%1» повреждён: часть «%2» не читается (строка %3).")
        .arg(shownName(path), part, QString::number(line));
}

QString encryptedMessage(const QString &path)
{
    return QString("Файл «%1» защищён паролем. Сохраните его без пароля и повторите импорт.").arg(shownName(path));
}

QString noSheetMessage(const QString &path, int sheet)
{
    return QString("В файле «%1» нет листа № %2.").arg(shownName(path), QString::number(sheet + 1));
}

QString serialDate(double serial, bool from1904)
{
    if (!std::isfinite(serial) || serial < 1 || serial > 2958465)
        return QString();
    const qint64 days = static_cast<qint64>(std::floor(serial));
    // The 1900 count takes 1900 for a leap year: its day 60 is the 29th of
    // February that never was, and the days before it are one off.
    if (from1904)
        return QDate(1904, 1, 1).addDays(days).toString("yyyy-MM-dd");
    if (days == 60)
        return QString();
    return QDate(1899, 12, days < 60 ? 31 : 30).addDays(days).toString("yyyy-MM-dd");
}

QString oversizedMessage(const QString &path, const QString &part, bool ratio)
{
    if (ratio)
        return QString("Файл «%1» не читается: его часть «%2» распаковывается в объём, больший сжатого более "
                       "чем в %3 раз. Так бывает у повреждённых файлов и у составленных, чтобы переполнить "
                       "память.")
            .arg(shownName(path), part, QString::number(MaxPartRatio));
    return QString("Файл «%1» не читается: его часть «%2» распаковывается больше чем в %3 МБ.")
        .arg(shownName(path), part, QString::number(MaxPartBytes >> 20));
}

bool Placer::fits(int row, int column, qsizetype size)
{
    if (size <= MaxCellText)
        return true;
    if (m_file.error.isEmpty())
        m_file.error = QString("Файл «%1» не читается: в строке %2, столбце %3 значение длиннее %4 знаков — "
                               "больше, чем вмещает ячейка таблицы.")
                           .arg(shownName(m_file.path), QString::number(row + 1), columnName(column),
                                QString::number(MaxCellText));
    return false;
}

bool Placer::counted(qint64 cells, qint64 characters)
{
    m_cells += cells;
    m_characters += characters;
    if (m_cells <= MaxCells && m_characters <= MaxCharacters)
        return true;
    if (m_file.error.isEmpty())
        m_file.error = QString("Файл «%1» слишком велик для импорта: в его листе больше %2 млн заполненных ячеек "
                               "или %3 млн знаков текста. Разделите таблицу на части.")
                           .arg(shownName(m_file.path), QString::number(MaxCells / 1000000),
                                QString::number(MaxCharacters / 1000000));
    return false;
}

bool Placer::place(int row, int column, const QString &text, int count)
{
    if (text.isEmpty())
        return true;
    if (!fits(row, column, text.size()) || !counted(1, text.size()))
        return false;
    if (m_file.rows.size() <= row)
        m_file.rows.resize(row + 1);
    m_file.rows[row].set(column, text, count);
    return true;
}

bool Placer::placeRow(int row, const Row &cells, int count)
{
    if (!counted(cells.storedCells(), cells.characters()))
        return false;
    if (m_file.rows.size() < row + count)
        m_file.rows.resize(row + count);
    for (int i = 0; i < count; ++i)
        m_file.rows[row + i] = cells;
    return true;
}

} // namespace Import::Detail
