#ifndef ATTACHMENTS_H
#define ATTACHMENTS_H

#include <QByteArray>
#include <QString>

class QSqlError;

// The stored copies of documents attached to orders, in the folder "files"
// of the working folder. A document is kept once: attaching a file whose
// name and content match a stored copy shares that copy; a different file
// of a taken name gets the first free name "name (2).ext", "name (3).ext"...
// With the register on a server the copies are kept in the database (table
// Kopii, under the same path "files/…"), so that every workstation has them;
// opening one writes it to the user's cache folder first.
//
// A backup of the database refers to copies by name, so a name, once used,
// always means the same document: a copy no attachment needs any more is
// moved aside into "files/Откреплённые" rather than deleted, its name stays
// taken, and after a restore the copies the restored records refer to are
// brought back from there.
//
// This header holds the attaching: storing a copy and giving it its name;
// attachmentremoval.h the removal and what a stop left, attachmentreading.h
// the opening of a copy and the attachments of a deleted order.
namespace Attachments {

// The folder of copies that no attachment needed any more.
inline constexpr char DETACHED_FOLDER[] = "Откреплённые";

// "Приказ 15.pdf" as the n-th of its name: "Приказ 15 (2).pdf".
QString numberedName(const QString &name, int n);

// Puts a copy of `source` (named `name`) into the folder and says where in
// `target` ("files/" + the name used); `fresh` tells whether a new copy was
// made (false: an identical one was shared). On failure returns false and
// says why in `error`, fit to follow "Файл «…» не прикреплён: ".
bool store(const QString &source, const QString &name, QString *target, bool *fresh, QString *error);

// A fresh copy of store() is written under a temporary name beside its
// place (`partOf`) and synced; it takes its name only once its record is
// written: settle() then. False where the name could not be given (the next
// start gives it).
QString partOf(const QString &target);
bool settle(const QString &target);
// On a server a new copy is a row written in the attachment's own
// transaction: this writes it there (nothing for a shared copy or on a
// file). False with `error` when it could not be written.
bool writeWaiting(const QString &target, QSqlError *error);

// On a server, the content of a new copy that store() left for its
// attachment's transaction (empty for a shared copy, and on a file): a
// write that stores it in a statement of its own takes it from here.
QByteArray waitingContent(const QString &target);

// Takes back a copy just stored whose attachment could not be recorded.
void discard(const QString &target);

// The largest document kept in a database, in bytes.
inline constexpr qint64 MAX_CONTENT = 256 * 1024 * 1024;

} // namespace Attachments

#endif // ATTACHMENTS_H
