// The program's message boxes: the confirmation box, the information box
// "Оповещение" and the warning box "Ошибка".

#include "view/dialogs.h"

#include "storage/db/errors.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

bool Dialogs::confirm(const QString &question)
{
    return confirm(nullptr, question);
}

bool Dialogs::confirm(QWidget *parent, const QString &question, bool noByDefault)
{
    QMessageBox box(parent);
    QPushButton *yes = box.addButton(QStringLiteral("Так точно"), QMessageBox::ActionRole);
    QPushButton *no = box.addButton(QStringLiteral("Никак нет"), QMessageBox::ActionRole);
    box.setEscapeButton(no);
    if (noByDefault)
        box.setDefaultButton(no);
    box.setText(QStringLiteral("Сообщение"));
    box.setInformativeText(question);
    box.exec();
    return box.clickedButton() == yes;
}

void Dialogs::inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QStringLiteral("Оповещение"), text, QMessageBox::Ok);
}

void Dialogs::warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QStringLiteral("Ошибка"), text, QMessageBox::Ok);
}

void Dialogs::warnServicemanGone(QWidget *parent, const QString &fio, const QString &ln, const QString &what)
{
    const QString who = fio.isEmpty() ? QString() : fio + QLatin1Char(' ');
    warn(parent,
         QStringLiteral("Военнослужащий %1с личным номером «%2» изменён или удалён, окно будет закрыто. %3.")
             .arg(who, ln, what));
}

namespace {

// A box with one OK button, a second line and the details shown on request.
void showBox(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &text,
             const QString &more, const QString &details = QString())
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(more);
    box.setDetailedText(details);
    box.exec();
}

} // namespace

void Dialogs::inform(QWidget *parent, const QString &text, const QString &more)
{
    showBox(QMessageBox::Information, parent, QStringLiteral("Оповещение"), text, more);
}

void Dialogs::warn(QWidget *parent, const QString &text, const QString &more)
{
    showBox(QMessageBox::Warning, parent, QStringLiteral("Ошибка"), text, more);
}

void Dialogs::warnFailure(QWidget *parent, const QString &what, const QSqlError &error,
                           const QString &personalNumber)
{
    warnFailure(parent, Write{what, QString()}, error, personalNumber);
}

void Dialogs::warnFailure(QWidget *parent, const Write &what, const QSqlError &error,
                           const QString &personalNumber)
{
    // A write the server may have saved is not told as not done: the clerk
    // learns first that nobody knows, and how to find out.
    const bool unknown = !what.unknown.isEmpty() && Errors::isOutcomeUnknown(error);
    const QString reason =
        unknown ? Errors::unknownOutcomeReason(error)
        : !personalNumber.isEmpty() && Errors::isTakenPersonalNumber(error)
            ? QStringLiteral("военнослужащий с личным номером «%1» уже есть").arg(personalNumber)
            : Errors::describe(error);
    // The database's words help support, not the clerk: they stay out of
    // the sentence, in the details.
    const QString words = Errors::databaseWords(error);
    showBox(QMessageBox::Warning, parent, QStringLiteral("Ошибка"),
            (unknown ? what.unknown : what.notDone) + QStringLiteral(": ") + reason + QLatin1Char('.'), QString(),
            words.isEmpty() ? QString() : QStringLiteral("Сообщение базы данных:\n") + words);
}

bool Dialogs::askPassword(QWidget *parent, const QString &user, const QString &where, QString *password)
{
    bool given = false;
    *password = QInputDialog::getText(parent, QStringLiteral("Пароль"),
                                      QStringLiteral("Пароль пользователя «%1» для базы данных %2:").arg(user, where),
                                      QLineEdit::Password, QString(), &given);
    return given;
}
