#include "storage/import/sheetfile.h"
#include "storage/import/readers.h"
#include "storage/import/ziparchive.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace Import {

namespace Detail {

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

void placeCell(QVector<QStringList> &rows, int row, int column, const QString &text)
{
    if (text.isEmpty())
        return;
    if (rows.size() <= row)
        rows.resize(row + 1);
    QStringList &cells = rows[row];
    while (cells.size() < column)
        cells.append(QString());
    if (cells.size() == column)
        cells.append(text);
    else
        cells[column] = text;
}

} // namespace Detail

namespace {

using namespace Detail;

enum class Kind { Xlsx, Ods, Xls, Csv, NotSheet, Damaged, Encrypted, Web };

bool startsWith(const QByteArray &head, const char *signature, int size)
{
    return head.size() >= size && memcmp(head.constData(), signature, size) == 0;
}

// What the file is, by its content first: office programs and the clerks
// who rename files do not always leave the right extension.
Kind kindOf(const QString &path, const QByteArray &head, ZipArchive *zip)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (startsWith(head, "PK\x03\x04", 4) || startsWith(head, "PK\x05\x06", 4)) {
        if (!zip->isOpen())
            return Kind::Damaged;
        if (zip->contains("xl/workbook.xml"))
            return Kind::Xlsx;
        if (zip->contains("content.xml"))
            return Kind::Ods;
        return Kind::NotSheet;
    }
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        // A workbook saved with a password is a compound file holding the
        // encrypted package, whatever its extension says.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray content = file.read(1 << 20);
            static const QByteArray encrypted = QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
            if (content.contains(encrypted))
                return Kind::Encrypted;
        }
        return Kind::Xls;
    }
    if (suffix == "xlsx" || suffix == "ods") {
        // A cut archive may lose even its first bytes' meaning; an office
        // file of these kinds is never plain text.
        if (head.startsWith("PK"))
            return Kind::Damaged;
    }
    const QByteArray trimmed = head.trimmed().toLower();
    if (trimmed.startsWith("<") && (trimmed.contains("<html") || trimmed.contains("<!doctype") ||
                                    trimmed.contains("<?xml") || trimmed.contains("<table")))
        return Kind::Web;
    // Text: a .csv, or a .txt, or a table saved as text under an office
    // extension. Other binary files are not tables.
    const bool textual = !head.contains('\0');
    const bool tableName = suffix == "csv" || suffix == "txt" || suffix == "tsv" || suffix == "xls" ||
                           suffix == "xlsx" || suffix == "ods";
    if (textual && tableName)
        return Kind::Csv;
    return Kind::NotSheet;
}

void finish(SheetFile &file)
{
    if (!file.error.isEmpty()) {
        file.rows.clear();
        return;
    }
    auto blank = [](const QStringList &row) {
        for (const QString &cell : row)
            if (!cell.trimmed().isEmpty())
                return false;
        return true;
    };
    while (!file.rows.isEmpty() && blank(file.rows.constLast()))
        file.rows.removeLast();
    if (file.rows.isEmpty()) {
        const QString name = file.sheet < file.sheets.size() ? file.sheets.at(file.sheet) : QString();
        file.error = QString("В листе «%1» файла «%2» нет ни одной строки.").arg(name, shownName(file.path));
    }
}

} // namespace

SheetFile readSheet(const QString &path, int sheet, const CsvFormat *csv)
{
    SheetFile file;
    file.path = path;
    file.sheet = sheet;
    QFile source(path);
    if (!QFileInfo(path).isFile()) {
        file.error = QString("Файл «%1» не найден.").arg(shownName(path));
        return file;
    }
    if (!source.open(QIODevice::ReadOnly)) {
        file.error = QString("Файл «%1» не открывается: нет прав на чтение или он занят другой программой.")
                         .arg(shownName(path));
        return file;
    }
    const QByteArray head = source.read(4096);
    if (head.isEmpty()) {
        file.error = QString("Файл «%1» пуст: в нём нет ни одной строки.").arg(shownName(path));
        return file;
    }
    ZipArchive zip(head.startsWith("PK") ? path : QString());
    switch (kindOf(path, head, &zip)) {
    case Kind::Xlsx:
        source.close();
        readXlsx(zip, file);
        break;
    case Kind::Ods:
        source.close();
        readOds(zip, file);
        break;
    case Kind::Xls:
        source.close();
        readXls(file);
        break;
    case Kind::Csv: {
        source.seek(0);
        const QByteArray data = source.readAll();
        if (source.error() != QFileDevice::NoError)
            file.error = QString("Файл «%1» не читается с диска.").arg(shownName(path));
        else
            readCsv(data, csv, file);
        break;
    }
    case Kind::Damaged:
        file.error = damagedMessage(path);
        break;
    case Kind::Encrypted:
        file.error = encryptedMessage(path);
        break;
    case Kind::Web:
        file.error = QString("Файл «%1» — веб-страница или XML, а не таблица. Откройте его в офисной программе "
                             "и сохраните как .xlsx, .ods или .csv.")
                         .arg(shownName(path));
        break;
    case Kind::NotSheet:
        file.error = QString("Файл «%1» не похож на таблицу: программа читает файлы .xlsx, .ods, .xls и .csv.")
                         .arg(shownName(path));
        break;
    }
    finish(file);
    return file;
}

} // namespace Import
