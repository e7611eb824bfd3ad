// Legacy .xls (Excel 97-2003 and older): read with libfreexl.
#include "storage/import/xlsreader.h"

#include <QFile>

#include <freexl.h>

namespace Import::Detail {

namespace {

// Closes the workbook however the reading ends.
struct Workbook
{
    const void *handle = nullptr;
    ~Workbook()
    {
        if (handle)
            freexl_close(handle);
    }
};

// A cell's value as text: a number as it is, a date as its day.
QString cellText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return QString::number(cell.value.double_value, 'g', 15);
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
        // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS": the day is kept.
        return QString::fromUtf8(cell.value.text_value).left(10);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(cell.value.text_value);
    default:
        return QString();
    }
}

} // namespace

void readXls(SheetFile &file)
{
    Workbook book;
    const int opened = freexl_open(QFile::encodeName(file.path).constData(), &book.handle);
    if (opened != FREEXL_OK) {
        if (opened == FREEXL_INSUFFICIENT_MEMORY)
            file.error = QString("Файл «%1» слишком велик: для его чтения не хватает памяти.").arg(shownName(file.path));
        else
            file.error = damagedMessage(file.path);
        return;
    }
    unsigned int info = 0;
    if (freexl_get_info(book.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        file.error = encryptedMessage(file.path);
        return;
    }
    unsigned int sheets = 0;
    if (freexl_get_info(book.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        file.error = damagedMessage(file.path);
        return;
    }
    for (unsigned int i = 0; i < sheets && i < 0xFFFF; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(book.handle, static_cast<unsigned short>(i), &name) != FREEXL_OK) {
            file.error = damagedMessage(file.path);
            return;
        }
        file.sheets << QString::fromUtf8(name);
    }
    if (file.sheet < 0 || file.sheet >= file.sheets.size()) {
        file.error = noSheetMessage(file.path, file.sheet);
        return;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(book.handle, static_cast<unsigned short>(file.sheet)) != FREEXL_OK ||
        freexl_worksheet_dimensions(book.handle, &rows, &columns) != FREEXL_OK) {
        file.error = damagedMessage(file.path);
        return;
    }
    Placer placer(file);
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(book.handle, r, c, &cell) != FREEXL_OK) {
                file.error = damagedMessage(file.path);
                return;
            }
            if (!placer.place(static_cast<int>(r), c, cellText(cell)))
                return;
        }
    }
    // The sheet names its rows before its cells; a workbook whose last
    // sectors are damaged reads as far as they begin, and the rows it names
    // after them come empty.
    const qsizetype read = file.rows.size();
    if (read > 0 && rows > read)
        file.warning = QString("Файл «%1» прочитан не весь: в его листе %2 строк, а строки с %3 по %2 пусты или не "
                               "читаются — файл, возможно, повреждён. Проверьте, все ли строки на месте.")
                           .arg(shownName(file.path), QString::number(rows), QString::number(read + 1));
}

} // namespace Import::Detail
