// Fuzz target for the import's reading of a spreadsheet (Import::readSheet)
// and the .csv reader's detection of its encoding and separator.
//
// The first input byte chooses what the rest is: 0 an .xlsx, 1 an .ods, 2 an
// .xls, 3 a .csv read as found, 4 a .csv read with a given encoding and
// separator (the next byte chooses them); higher values wrap around. The rest
// is written to a file of that kind and read. An .xls is read only when it is
// the seed itself, unchanged: libfreexl 1.0.6, which reads it, reads past a
// buffer of its own on a damaged record (fuzz/known/freexl-stack-read), a
// fault of the library this target cannot get past. Checked:
// - a refused file has a message and no rows; a read one has rows, the last
//   of them not blank, and its column count is the widest row's;
// - nothing read passes the limits of a sheet: rows, columns, the text of a
//   cell;
// - a .csv is read in UTF-8 or Windows-1251, with ';', ',' or a tab;
// - reading the same file twice gives the same rows.
// Any violation aborts, which libFuzzer reports as a crash with the input.
#include "storage/import/sheetfile.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The limits of a sheet as the readers hold them.
constexpr qsizetype MAX_ROWS = 1048576;
constexpr qsizetype MAX_COLUMNS = 16384;
constexpr qsizetype MAX_CELL_TEXT = 32767;

[[noreturn]] void fail(const char *what, const Import::SheetFile &file)
{
    std::fprintf(stderr, "import: %s (%s: %s)\n", what, qPrintable(file.path), qPrintable(file.error));
    std::abort();
}

const QString &folder()
{
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

void check(const Import::SheetFile &file, bool csv)
{
    if (!file.error.isEmpty()) {
        if (!file.rows.isEmpty())
            fail("refused with rows", file);
        return;
    }
    if (file.rows.isEmpty())
        fail("read without rows or a message", file);
    if (file.rows.size() > MAX_ROWS)
        fail("more rows than a sheet holds", file);
    if (file.rows.constLast().blank())
        fail("a blank last row", file);
    qsizetype widest = 0;
    for (const Import::Row &row : file.rows) {
        widest = std::max(widest, row.size());
        if (row.storedCells() > row.size())
            fail("more cells than columns", file);
        // Only short rows are read cell by cell: a long one is checked by
        // its width and its cells' count.
        if (row.size() <= 64) {
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (row.value(c).size() > MAX_CELL_TEXT)
                    fail("a cell past its limit", file);
            }
        }
    }
    if (widest != file.columns)
        fail("the column count is not the widest row's", file);
    if (file.columns > MAX_COLUMNS)
        fail("more columns than a sheet holds", file);
    if (csv) {
        const QByteArray &e = file.csv.encoding;
        const QChar s = file.csv.separator;
        if (e != "UTF-8" && e != "windows-1251")
            fail("an unknown encoding", file);
        if (s != ';' && s != ',' && s != '\t')
            fail("an unknown separator", file);
    }
}

// Whether the bytes are one of the .xls seeds as they are.
bool knownXls(const uint8_t *data, size_t size)
{
    static const QList<QByteArray> seeds = [] {
        QList<QByteArray> found;
        for (const char *name : {"roster-xls", "cut-xls"}) {
            QFile seed(QStringLiteral(VEDOMER_FUZZ_CORPUS "/import/") + QLatin1String(name));
            if (seed.open(QIODevice::ReadOnly))
                found.append(seed.readAll().mid(1));
        }
        return found;
    }();
    return seeds.contains(QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const suffixes[] = {"xlsx", "ods", "xls", "csv", "csv"};
    const int kind = data[0] % 5;
    if (kind == 2 && !knownXls(data + 1, size - 1))
        return 0;
    size_t skip = 1;
    Import::CsvFormat format;
    if (kind == 4) {
        if (size < 2)
            return 0;
        static const QChar separators[] = {';', ',', '\t'};
        format.encoding = data[1] & 1 ? "windows-1251" : "UTF-8";
        format.separator = separators[(data[1] >> 1) % 3];
        skip = 2;
    }
    const QString path = QDir(folder()).filePath(QStringLiteral("sheet.") + QLatin1String(suffixes[kind]));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        out.write(reinterpret_cast<const char *>(data + skip), static_cast<qint64>(size - skip));
    }
    const Import::SheetFile file = Import::readSheet(path, 0, kind == 4 ? &format : nullptr);
    const bool csv = !file.csv.encoding.isEmpty();
    // The content decides the kind, not the name: a .csv that begins as an
    // archive is read as one.
    const bool archive = size - skip >= 2 && data[skip] == 'P' && data[skip + 1] == 'K';
    if (kind >= 3 && file.error.isEmpty() && !csv && !archive)
        fail("a text file read without its format", file);
    check(file, csv);
    const Import::SheetFile again = Import::readSheet(path, 0, kind == 4 ? &format : nullptr);
    if (again.error != file.error || again.rows != file.rows)
        fail("read differently the second time", file);
    return 0;
}
