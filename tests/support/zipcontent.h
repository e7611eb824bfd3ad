#ifndef ZIPCONTENT_H
#define ZIPCONTENT_H

#include <QByteArray>
#include <QMap>
#include <QString>

namespace TestSupport {

// The entries of a zip archive (stored or deflated), by name, in the order
// of the archive's directory in `order` when given. Empty when the data is
// not a readable archive.
QMap<QString, QByteArray> zipContent(const QByteArray &archive, QStringList *order = nullptr);

} // namespace TestSupport

#endif // ZIPCONTENT_H
