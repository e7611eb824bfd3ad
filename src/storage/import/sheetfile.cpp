#include "storage/import/sheetfile.h"
#include "storage/import/csvreader.h"
#include "storage/import/odsreader.h"
#include "storage/import/readers.h"
#include "storage/import/xlsreader.h"
#include "storage/import/xlsxreader.h"
#include "storage/import/ziparchive.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace Import {

Row::Row(const QStringList &cells)
    : m_size(static_cast<int>(cells.size()))
{
    for (int c = 0; c < cells.size(); ++c) {
        if (!cells.at(c).isEmpty())
            m_runs.append({c, 1, cells.at(c)});
    }
}

Row::Row(std::initializer_list<QString> cells)
    : Row(QStringList(cells))
{
}

QString Row::value(qsizetype column) const
{
    // The first run that ends past the column.
    const auto found = std::partition_point(m_runs.cbegin(), m_runs.cend(), [column](const Run &run) {
        return run.column + run.count <= column;
    });
    return found != m_runs.cend() && found->column <= column ? found->text : QString();
}

bool Row::blank() const
{
    for (const Run &run : m_runs) {
        for (const QChar c : run.text) {
            if (!c.isSpace())
                return false;
        }
    }
    return true;
}

void Row::set(int column, const QString &text, int count)
{
    if (text.isEmpty() || count < 1)
        return;
    const int end = column + count;
    if (m_runs.isEmpty() || m_runs.constLast().column + m_runs.constLast().count <= column) {
        m_runs.append({column, count, text});
    } else {
        // Out of order, or over cells already placed: the runs it covers
        // give way, cut where they reach beyond it.
        QVector<Run> runs;
        runs.reserve(m_runs.size() + 2);
        bool placed = false;
        for (const Run &run : std::as_const(m_runs)) {
            const int runEnd = run.column + run.count;
            if (runEnd <= column || run.column >= end) {
                if (!placed && run.column >= end) {
                    runs.append({column, count, text});
                    placed = true;
                }
                runs.append(run);
                continue;
            }
            if (run.column < column)
                runs.append({run.column, column - run.column, run.text});
            if (!placed) {
                runs.append({column, count, text});
                placed = true;
            }
            if (runEnd > end)
                runs.append({end, runEnd - end, run.text});
        }
        if (!placed)
            runs.append({column, count, text});
        m_runs = std::move(runs);
    }
    m_size = std::max(m_size, end);
}

qsizetype Row::characters() const
{
    qsizetype size = 0;
    for (const Run &run : m_runs)
        size += run.text.size();
    return size;
}

QStringList Row::toList() const
{
    QStringList cells;
    cells.reserve(m_size);
    for (const Run &run : m_runs) {
        while (cells.size() < run.column)
            cells.append(QString());
        for (int i = 0; i < run.count; ++i)
            cells.append(run.text);
    }
    while (cells.size() < m_size)
        cells.append(QString());
    return cells;
}

bool Row::operator==(const Row &other) const
{
    if (m_size != other.m_size || m_runs.size() != other.m_runs.size())
        return other.m_size == m_size && toList() == other.toList();
    for (qsizetype i = 0; i < m_runs.size(); ++i) {
        const Run &a = m_runs.at(i);
        const Run &b = other.m_runs.at(i);
        if (a.column != b.column || a.count != b.count || a.text != b.text)
            return toList() == other.toList();
    }
    return true;
}

QString columnName(int column)
{
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar('A' + (n - 1) % 26));
    return name;
}

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
    while (!file.rows.isEmpty() && file.rows.constLast().blank())
        file.rows.removeLast();
    file.columns = 0;
    for (const Row &row : std::as_const(file.rows))
        file.columns = std::max(file.columns, static_cast<int>(row.size()));
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
        if (source.size() > MaxPartBytes) {
            file.error = QString("Файл «%1» слишком велик для импорта: больше %2 МБ текста. Разделите таблицу "
                                 "на части.")
                             .arg(shownName(path), QString::number(MaxPartBytes >> 20));
            break;
        }
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
