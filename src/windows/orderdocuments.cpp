#include "windows/orderdocuments.h"

#include "storage/register/attachmentreading.h"
#include "storage/register/attachmentremoval.h"
#include "storage/register/attachments.h"
#include "storage/db/errors.h"
#include "storage/db/sql.h"
#include "view/dialogs.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QUrl>

namespace {

// The page's writes: what a failure of each tells, refused or of an outcome
// not known.
const Dialogs::Write NOT_ATTACHED{QStringLiteral("Файл не прикреплён"),
                                  QStringLiteral("Неизвестно, прикреплён ли файл")};
const Dialogs::Write NOT_DETACHED{QStringLiteral("Файл не удалён"),
                                  QStringLiteral("Неизвестно, удалён ли файл")};

} // namespace

OrderDocuments::OrderDocuments(const QString &ln, const QString &code, const Window &window, QObject *parent)
    : QObject(parent)
    , ln(ln)
    , code(code)
    , w(window)
{
}

void OrderDocuments::clear()
{
    // The list is filled afresh each time, never added to.
    w.files->setRowCount(0);
}

void OrderDocuments::load()
{
    QStringList names;
    QSqlError error;
    if (!Orders::documents(ln, code, number, &names, &error))
        w.say(QStringLiteral("Файлы приказа № %1 не прочитаны из базы данных: %2.")
                  .arg(number, Errors::describe(error)));
    for (const QString &name : std::as_const(names)) {
        const int row = w.files->rowCount();
        w.files->insertRow(row);
        w.files->setItem(row, 0, new QTableWidgetItem(name));
    }
}

bool OrderDocuments::storedPath(const QString &name, QString &path, const QString &what, bool &failed)
{
    QSqlError error;
    const Orders::Lookup found = Orders::storedCopy(ln, code, number, name, &path, &error);
    failed = found == Orders::Lookup::Failed;
    if (failed)
        Dialogs::warnFailure(w.widget, what, error);
    return found == Orders::Lookup::Found;
}

void OrderDocuments::attach()
{
    w.say(QString());
    const QString source = QFileDialog::getOpenFileName(
        w.widget, QStringLiteral("Выбрать фаил"), QDir::currentPath(), QStringLiteral("All files (*.*)"));
    const QString name = source.section(QLatin1Char('/'), -1, -1);
    w.widget->addAction(w.remove);
    if (name.isEmpty()) {
        Dialogs::inform(w.widget, QStringLiteral("Не выбрано имя фаила"));
        return;
    }
    if (!w.orderChosen()) {
        Dialogs::inform(w.widget, QStringLiteral("Не выбран приказ: выберите приказ на вкладке «Приказ»."));
        return;
    }
    QString existing;
    bool failed = false;
    if (storedPath(name, existing, QStringLiteral("Файл не прикреплён"), failed)) {
        Dialogs::inform(w.widget, QStringLiteral("К этому приказу уже прикреплён файл «%1».").arg(name));
        return;
    }
    if (failed)
        return;
    QString target;
    QString error;
    bool fresh = false;
    if (!Attachments::store(source, name, &target, &fresh, &error)) {
        Dialogs::warn(w.widget, QStringLiteral("Файл «%1» не прикреплён: %2.").arg(name, error));
        return;
    }
    if (!record(name, target, fresh))
        return;
    const int row = w.files->rowCount();
    w.files->insertRow(row);
    w.files->setItem(row, 0, new QTableWidgetItem(name));
}

bool OrderDocuments::record(const QString &name, const QString &target, bool fresh)
{
    // The copy is made before the write lock is taken, and goes again when
    // the record is not written; it takes its name once the record is.
    if (!w.written(Orders::attach(ln, code, number, target, name), NOT_ATTACHED, number)) {
        if (fresh)
            Attachments::discard(target);
        return false;
    }
    if (fresh && !Attachments::settle(target))
        w.say(QStringLiteral("Файл «%1» прикреплён, но его копия ещё не на своём месте в папке документов: "
                             "программа поставит её туда при следующем запуске.")
                  .arg(name));
    return true;
}

void OrderDocuments::openChosen()
{
    w.say(QString());
    QTableWidget *files = w.files;
    if (files->currentRow() < 0 || !files->currentItem())
        return;
    const QString name = files->currentItem()->text();
    if (name.isEmpty())
        return;
    QString path;
    bool failed = false;
    if (!storedPath(name, path, QStringLiteral("Файл не открыт"), failed)) {
        if (!failed)
            w.say(QStringLiteral("Файл «%1» не открыт: его нет среди файлов этого приказа.").arg(name));
        return;
    }
    if (path.isEmpty()) {
        w.say(QStringLiteral("Файл «%1» не открыт: путь к его копии не записан.").arg(name));
        return;
    }
    QString file;
    QString error;
    if (!Attachments::localCopy(path, &file, &error)) {
        w.say(QStringLiteral("Файл «%1» не открыт: %2.").arg(name, error));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath())))
        w.say(QStringLiteral("Файл «%1» не открыт: не найдена программа, которая его открывает.").arg(name));
}

void OrderDocuments::removeChosen()
{
    w.say(QString());
    if (!Dialogs::confirm(w.widget, QStringLiteral("Вы точно уверены что надо удалить?")))
        return;
    QTableWidget *files = w.files;
    QTableWidgetItem *item = files->currentItem();
    if (!item)
        return;
    const QString name = item->text();
    // In a file the copy is noted first, for a stop between the removal and
    // the copy's putting aside (on a server the copy is a row of the same
    // transaction).
    if (!Sql::onServer()) {
        QString copy;
        bool failed = false;
        if (storedPath(name, copy, NOT_DETACHED.notDone, failed))
            Attachments::markRemoval(copy);
        if (failed)
            return;
    }
    QSet<QString> copies;
    if (!w.written(Orders::detach(ln, code, number, name, &copies), NOT_DETACHED, number)) {
        Attachments::forgetRemoval();
        return;
    }
    // A copy goes only when no attachment of any order refers to it any more.
    Attachments::removeUnused(copies);
    files->removeRow(files->row(item));
}
