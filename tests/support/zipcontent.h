#ifndef ZIPCONTENT_H
#define ZIPCONTENT_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace TestSupport {

// The entries of a zip archive (stored or deflated), by name, in the order
// of the archive's directory in `order` when given. Empty when the data is
// not a readable archive.
QMap<QString, QByteArray> zipContent(const QByteArray &archive, QStringList *order = nullptr);

// Writes a zip archive of these entries, deflated, in this order: the
// parts of a spreadsheet written by hand. False when it cannot be written.
bool writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &entries);

} // namespace TestSupport

#endif // ZIPCONTENT_H
