#ifndef IMPORT_XLSXCELLS_H
#define IMPORT_XLSXCELLS_H

#include "storage/import/readers.h"

#include <QString>
#include <QVector>

// The worksheet and its shared strings hold nearly all of a workbook's
// bytes: they are read with expat, several times faster than
// QXmlStreamReader (for a roster of 200,000 rows, the difference between
// reading it in a second or two or in five), a piece of the inflated part at
// a time.
namespace Import::Detail {

// The shared strings of a workbook's part into `strings`, by index: the
// texts of each string, plain or in rich-text runs, without the phonetic
// guides. Returns the message of what went wrong, or an empty one.
QString readSharedStrings(ZipArchive &zip, const QString &part, QVector<QString> *strings);

// The cells of a worksheet's part, each placed by its reference (or after
// the cell before it when it has none): a shared string by its index, a
// number in a date's style (`dates`, by cell style) as its date. Returns the
// message of what went wrong, or an empty one; when the placer refused a
// cell, its own message is in the file instead.
QString readCells(ZipArchive &zip, const QString &part, const QVector<QString> &strings, const QVector<bool> &dates,
                  bool from1904, Placer &placer);

} // namespace Import::Detail

#endif // IMPORT_XLSXCELLS_H
