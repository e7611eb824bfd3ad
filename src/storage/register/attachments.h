#ifndef ATTACHMENTS_H
#define ATTACHMENTS_H

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

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

// Notes the copy of an attachment about to be removed, so that a program
// stopped after the removal is written and before removeUnused() puts the
// copy aside has it put aside at the next start.
void markRemoval(const QString &copy);
// The removal was not written: the note goes.
void forgetRemoval();

// At start, what a program stopped during an attachment or a removal of one
// left in the folder: a copy waiting for its name gets it where its record
// was written and goes where it was not; a copy of a written removal is put
// aside. Says what it finished, for the user.
QStringList finishInterrupted();

// Moves those of the copies that no attachment refers to any more into the
// folder of detached copies, under the same name. Only copies inside the
// folder are ever moved; none is deleted. On a server there is nothing left
// to do: the content went in the removal's own transaction.
void removeUnused(const QSet<QString> &copies);

// Takes back a copy just stored whose attachment could not be recorded.
void discard(const QString &target);

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

// The largest document kept in a database, in bytes.
inline constexpr qint64 MAX_CONTENT = 256 * 1024 * 1024;
// Brings back from the folder of detached copies every copy that an
// attachment of the database refers to and that is missing (after a
// restore). Returns how many came back.
int recoverDetached();

} // namespace Attachments

#endif // ATTACHMENTS_H
