#ifndef ATTACHMENTREADING_H
#define ATTACHMENTREADING_H

#include <QString>
#include <QStringList>

class QSqlError;

// Reading the store of documents (attachments.h tells how it keeps them):
// the file to open for a copy, and the attachments an order left behind.
namespace Attachments {

// The file to open for the copy `path` (as Giper holds it): the copy itself
// in the folder, or one written from the database (on a server into the
// user's cache folder; for an SQLite file that came from a server, into the
// folder, where the copy is missing). False with the reason in `error`, fit
// to follow "Файл «…» не открыт: ".
bool localCopy(const QString &path, QString *file, QString *error);

// The names of the attachments kept under the order number `number` of the
// serviceman `ln` in the category `code` that no order holds (a deleted
// order's, which an order added under that number shows again). False when
// they could not be read (`error` set).
bool leftOver(const QString &ln, const QString &code, const QString &number, QStringList *names,
              QSqlError *error);

} // namespace Attachments

#endif // ATTACHMENTREADING_H
