#ifndef DIALOGS_H
#define DIALOGS_H

#include <QString>

class QSqlError;
class QWidget;

// The program's message boxes: the confirmation box, the information box
// "Оповещение", the warning box "Ошибка" and the password question.
namespace Dialogs {

// What a write was to do, as its failure tells it: `notDone` when it was
// not done ("Приказ не добавлен"), `unknown` when the connection to the
// server broke while the server may have been saving it ("Неизвестно,
// сохранён ли приказ").
struct Write
{
    QString notDone;
    QString unknown;
};

// The warning box "Ошибка" for a write that the database refused:
// `what` says what was not done ("Запись не сохранена"), the reason
// follows in Russian, and the database's own words are kept apart in the
// box's details. `personalNumber`, the number being written, is named
// when the database refused it as taken.
void warnFailure(QWidget *parent, const QString &what, const QSqlError &error,
                 const QString &personalNumber = QString());
// The same for a write whose outcome may be unknown: the box then begins
// with `what.unknown` and says what to do.
void warnFailure(QWidget *parent, const Write &what, const QSqlError &error,
                 const QString &personalNumber = QString());
// The confirmation box: true only when "Так точно" was clicked. The box
// stands over `parent` where one is given; with `noByDefault` Enter
// answers "Никак нет".
bool confirm(const QString &question);
bool confirm(QWidget *parent, const QString &question, bool noByDefault = false);
// The information box "Оповещение" and the warning box "Ошибка".
void inform(QWidget *parent, const QString &text);
void warn(QWidget *parent, const QString &text);
// The same with a second line of their own below the text (the box's
// informative text).
void inform(QWidget *parent, const QString &text, const QString &more);
void warn(QWidget *parent, const QString &text, const QString &more);
// Asks for the password of a database user (hidden as it is typed);
// false when the user cancels. The password is kept by no one but the
// caller.
bool askPassword(QWidget *parent, const QString &user, const QString &where, QString *password);
// The warning that a window's serviceman was deleted or given another
// personal number elsewhere, so that the window closes: `what` says what
// was not done.
void warnServicemanGone(QWidget *parent, const QString &fio, const QString &ln, const QString &what);

} // namespace Dialogs

#endif // DIALOGS_H
