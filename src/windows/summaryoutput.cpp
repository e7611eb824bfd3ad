#include "windows/summaryoutput.h"

#include "export/cardprint.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "export/tableprint.h"
#include "view/columns.h"
#include "view/dialogs.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTableWidget>
#include <QTableWidgetItem>

void SummaryOutput::toFile(QWidget *parent, const QTableWidget *table)
{
    QString name = QFileDialog::getSaveFileName(
        parent, QCoreApplication::translate("MainWindow", TableExport::SAVE_CAPTION), QString(),
        QCoreApplication::translate("MainWindow", TableExport::SAVE_FILTER));
    if (name.isEmpty())
        return;
    const QString chosen = name;
    name = TableExport::exportFileName(name);
    // The dialog asked before replacing the name it returned; a file that has
    // the name only with the ending added here is asked about here.
    if (name != chosen && QFileInfo::exists(name) &&
        !Dialogs::confirm(
            parent,
            QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(QFileInfo(name).fileName())))
        return;
    QString error;
    if (!TableExport::write(table, name, &error))
        Dialogs::warn(parent, QStringLiteral("Таблица не сохранена в файл «%1»: %2.")
                                  .arg(QDir::toNativeSeparators(name), error));
}

void SummaryOutput::print(QWidget *parent, const QTableWidget *table)
{
    if (!Dialogs::confirm(parent, QStringLiteral("Вы точно уверены что вывести на печать?")))
        return;
    // Twelve columns fit across a page only when it lies on its side; the
    // dialog lets the user choose otherwise.
    QString error;
    if (Printing::printAsked(
            parent, QPageLayout::Landscape,
            [table] { return TablePrint::document(table, QDate::currentDate()); },
            &error) == Printing::Outcome::Failed)
        Dialogs::warn(parent, QStringLiteral("Таблица не напечатана: %1.").arg(error));
}

void SummaryOutput::preview(QWidget *parent, const QTableWidget *table)
{
    const Paper::Document document = TablePrint::document(table, QDate::currentDate());
    Printing::preview(parent, document, QPageLayout::Landscape,
                      {QStringLiteral("Предварительный просмотр"), QStringLiteral("Таблица не напечатана"),
                       QStringLiteral("Таблица не сохранена")});
}

void SummaryOutput::cardOfCurrent(QWidget *parent, const QTableWidget *table)
{
    const QTableWidget *t = table;
    const QTableWidgetItem *item =
        t->currentRow() < 0 ? nullptr : t->item(t->currentRow(), SummaryColumns::LN);
    if (!item) {
        Dialogs::inform(parent,
                        QStringLiteral("Запись не выбрана: выделите в таблице строку военнослужащего, "
                                       "чью служебную карточку надо составить."));
        return;
    }
    CardPrint::show(parent, {item->text()});
}

void SummaryOutput::cardsOfShown(QWidget *parent, const QTableWidget *table)
{
    // The rows the table holds are those shown: the filters and the search
    // put only those in.
    const QTableWidget *t = table;
    QStringList numbers;
    numbers.reserve(t->rowCount());
    for (int r = 0; r < t->rowCount(); ++r) {
        if (const QTableWidgetItem *item = t->item(r, SummaryColumns::LN))
            numbers.append(item->text());
    }
    if (numbers.isEmpty()) {
        Dialogs::inform(parent, QStringLiteral("В таблице не показано ни одного военнослужащего: служебные "
                                               "карточки составлять не для кого."));
        return;
    }
    CardPrint::show(parent, numbers);
}
