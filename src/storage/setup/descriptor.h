#ifndef DESCRIPTOR_H
#define DESCRIPTOR_H

#include <QList>
#include <QPair>
#include <QString>

// The XML descriptor files of the schema verification, read strictly: a file
// that is not well-formed is refused whole, so that nothing is dropped on the
// strength of a damaged file.
namespace Descriptor {

// One start element with its attributes in document order.
struct Element
{
    QString name;
    QList<QPair<QString, QString>> attributes;
};

// Reads a whole descriptor. On a missing or malformed file returns false and
// says why in `error` (with line and column for malformed XML).
bool read(const QString &fileName, QList<Element> &elements, QString &error);

// The column name at the start of a column definition, read as SQLite reads
// it (the name decides which present column the definition keeps): blanks
// and comments skipped; a name in "…", `…` or '…' with its doubled quotes
// undone, or in […]; otherwise the run of letters, digits, '_', '$' and
// characters beyond ASCII.
QString columnName(const QString &definition);

} // namespace Descriptor

#endif // DESCRIPTOR_H
