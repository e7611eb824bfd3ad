// The program's message boxes: the confirmation box, the information box
// "Оповещение" and the warning box "Ошибка".

#include "function.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

bool Function::confirm(const QString &question)
{
    return confirm(nullptr, question);
}

bool Function::confirm(QWidget *parent, const QString &question, bool noByDefault)
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

void Function::inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QStringLiteral("Оповещение"), text, QMessageBox::Ok);
}

void Function::warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QStringLiteral("Ошибка"), text, QMessageBox::Ok);
}

void Function::warnServicemanGone(QWidget *parent, const QString &fio, const QString &ln, const QString &what)
{
    const QString who = fio.isEmpty() ? QString() : fio + QLatin1Char(' ');
    warn(parent,
         QStringLiteral("Военнослужащий %1с личным номером «%2» изменён или удалён, окно будет закрыто. %3.")
             .arg(who, ln, what));
}

void Function::warnFailure(QWidget *parent, const QString &what, const QSqlError &error)
{
    warn(parent, what + QStringLiteral(": ") + describeError(error) + QLatin1Char('.'));
}

bool Function::askPassword(QWidget *parent, const QString &user, const QString &where, QString *password)
{
    bool given = false;
    *password = QInputDialog::getText(parent, QStringLiteral("Пароль"),
                                      QStringLiteral("Пароль пользователя «%1» для базы данных %2:").arg(user, where),
                                      QLineEdit::Password, QString(), &given);
    return given;
}
