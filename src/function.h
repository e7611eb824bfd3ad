#ifndef FUNCTION_H
#define FUNCTION_H

#include "storage/schema.h"
#include "storage/sql.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariantList>

#include <vector>

class QSqlError;
class QTableView;
class QWidget;
class SingleInstance;

// The helpers every window shares, static only. They are defined in the room
// of their concern:
//   storage/query.cpp         Myquery, q, appendLog (the statement runner and the log)
//   storage/errors.cpp        describeError
//   storage/naturalorder.cpp  compareStrings, sortQListQString, leadingNumber
//   storage/dates.cpp         parseDate, debugText
//   storage/paths.cpp         databaseFolder, setHidden
//   view/application.cpp      initApplication, wantsVerification, ver, start
//   view/dialogs.cpp          confirm, inform, warn, warnFailure
//   view/tablefit.cpp         fitRowHeights, fitColumnWidth
class Function
{
public:
    // Runs one statement on the default connection and logs a failure to "log".
    static QSqlQuery Myquery(QString sql);
    // The same on a connection of its own (backups, checks of other files).
    static QSqlQuery Myquery(QString sql, const QSqlDatabase &db);
    // With values bound to its "?" places in order (contents of documents).
    static QSqlQuery Myquery(QString sql, const QVariantList &values, const QSqlDatabase &db = QSqlDatabase());
    // Natural order: leading number first, then the rest in code-unit order.
    static bool compareStrings(const QStringView &a, const QStringView &b);
    static void sortQListQString(QList<QString> &list);
    // Brings the schema of data/BaseDate.db into line with the descriptors
    // and tells the user what stopped it; what it changed is in the report.
    static Schema::Report ver();
    // What the main window tells of a verification: what it dropped and
    // where the database is kept as it was before, what it did not drop,
    // and why it did not run.
    static QStringList verificationNotes(const Schema::Report &report);
    // The start of a copy in the working folder, before its main window:
    // the folder's lock, then "--ver" when the arguments ask for it. False
    // when this copy does not start (another copy runs in the folder, or the
    // user chose not to open a folder another computer holds). The
    // verification is not run where the folder was opened over another
    // computer's lock; `verification` says so then.
    static bool start(SingleInstance &instance, const QStringList &arguments, Schema::Report *verification);

    // A value made safe to stand between single quotes of a statement.
    static QString q(const QString &value);
    // The leading number of a text as the natural order reads it.
    static int leadingNumber(QStringView s);
    // Appends text to the error log "log" in the working directory; false
    // when the log could not be written.
    static bool appendLog(const QString &text);
    // Marks a file hidden where the file system knows such a mark (Windows).
    static void setHidden(const QString &fileName);
    // The database folder named by settings.ini ("data" when none is named).
    static QString databaseFolder();
    // The reason of a database error in plain Russian, told by the
    // database's own result code, never by the words of its message.
    // The database's codes are read as the driver of the program's connection
    // gives them (SQLite's result codes, PostgreSQL's SQLSTATE), or as the
    // named driver gives them.
    static QString describeError(const QSqlError &error);
    static QString describeError(const QSqlError &error, const QString &driverName);
    // True when another program (or another copy) held the database or the
    // records locked.
    static bool isBusy(const QSqlError &error, const QString &driverName);
    // The database's own words about an error (English, for the log and for
    // support), apart from the reason.
    static QString databaseWords(const QSqlError &error);
    // True when the program's connection refused a serviceman because his
    // personal number is taken.
    static bool isTakenPersonalNumber(const QSqlError &error);
    // True for a failure that the same work may get past when tried once
    // more: a serializable transaction that met another clerk's change, a
    // deadlock.
    static bool isConflict(const QSqlError &error, const QString &driverName);
    // The warning box "Ошибка" for a write that the database refused:
    // `what` says what was not done ("Запись не сохранена"), the reason
    // follows in Russian, and the database's own words are kept apart in the
    // box's details. `personalNumber`, the number being written, is named
    // when the database refused it as taken.
    static void warnFailure(QWidget *parent, const QString &what, const QSqlError &error,
                            const QString &personalNumber = QString());
    // The confirmation box: true only when "Так точно" was clicked. The box
    // stands over `parent` where one is given; with `noByDefault` Enter
    // answers "Никак нет".
    static bool confirm(const QString &question);
    static bool confirm(QWidget *parent, const QString &question, bool noByDefault = false);
    // The information box "Оповещение" and the warning box "Ошибка".
    static void inform(QWidget *parent, const QString &text);
    static void warn(QWidget *parent, const QString &text);
    // The same with a second line of their own below the text (the box's
    // informative text).
    static void inform(QWidget *parent, const QString &text, const QString &more);
    static void warn(QWidget *parent, const QString &text, const QString &more);
    // Asks for the password of a database user (hidden as it is typed);
    // false when the user cancels. The password is kept by no one but the
    // caller.
    static bool askPassword(QWidget *parent, const QString &user, const QString &where, QString *password);
    // The warning that a window's serviceman was deleted or given another
    // personal number elsewhere, so that the window closes: `what` says what
    // was not done.
    static void warnServicemanGone(QWidget *parent, const QString &fio, const QString &ln,
                                   const QString &what);
    // Program-wide set-up shared by the executable and the tests: resources
    // and the Russian locale that fixes the date forms.
    static void initApplication();
    // Gives every row (or only the rows `only`) the height
    // QTableView::resizeRowsToContents() would give it, measuring only the
    // rows whose texts do not fit on one line.
    static void fitRowHeights(QTableView *table, const std::vector<int> *only = nullptr);
    // Gives a column the width QTableView::resizeColumnToContents() would give
    // it, considering every row and measuring only the widest candidates.
    // With `texts` the width is that which a column holding exactly those
    // plain texts would get.
    static void fitColumnWidth(QTableView *table, int column, const QStringList *texts = nullptr);
    // The date of a text "dd.MM.yyyy", as QDate::fromString with that format
    // reads it (an invalid date for any other text), without its general parser.
    static QDate parseDate(const QString &text);
    // The text qDebug() << dates writes, made directly: the general stream
    // formats each date through its own printf, which dominates long lists.
    static QString debugText(const QList<QDate> &dates);
    // True when the command line asks for the schema verification.
    static bool wantsVerification(const QStringList &arguments);
};

#endif // FUNCTION_H
