#include "windows/grouporder.h"
#include "ui_grouporder.h"

#include "export/extractprint.h"
#include "storage/register/attachments.h"
#include "storage/db/errors.h"
#include "storage/db/query.h"
#include "storage/db/sql.h"

#include <QDate>
#include <QGridLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QPushButton>

#include <array>
#include <utility>

namespace {

// The categories in the order of the main window's list, with the caption
// of the order's title as the orders window has it.
struct Category
{
    const char *code;
    const char *name;
    const char *title;
};

constexpr std::array<Category, 6> CATEGORIES{{
    {Code::VZS, "Взыскания", "Наименование"},
    {Code::BLAG, "Благодарности", "За что"},
    {Code::GR, "Грамоты", "За что"},
    {Code::ZOMO, "Знаки отличия МО РФ", "Наименование"},
    {Code::GOSNAG, "Государственные награды", "Наименование"},
    {Code::POSH, "Ветеран военной службы", "За что"},
}};

const QString DATE_FORMAT = QStringLiteral("dd.MM.yyyy");
constexpr int LN_ROLE = Qt::UserRole;
constexpr int UNIT_ROLE = Qt::UserRole + 1;
constexpr int PATH_ROLE = Qt::UserRole;

} // namespace

GroupOrder::GroupOrder(const QStringList &ticked, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GroupOrder)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    for (const Category &c : CATEGORIES)
        ui->category->addItem(QString::fromUtf8(c.name), QString::fromLatin1(c.code));
    connect(ui->category, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            ui->titleLabel->setText(QString::fromUtf8(CATEGORIES[static_cast<size_t>(index)].title));
    });
    ui->category->setCurrentIndex(1);
    ui->date->setDate(QDate::currentDate());

    QSqlError error;
    men = GroupOrders::servicemen(&error);
    if (error.isValid())
        say(QStringLiteral("Список военнослужащих не прочитан: %1").arg(error.text()));
    const QSet<QString> preset(ticked.cbegin(), ticked.cend());
    for (const GroupOrders::Man &man : men) {
        const QString shown =
            QStringLiteral("%1  %2 %3  (%4)").arg(man.unit, man.rank, man.name, man.ln).simplified();
        auto *item = new QListWidgetItem(shown, ui->men);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(preset.contains(man.ln) ? Qt::Checked : Qt::Unchecked);
        item->setData(LN_ROLE, man.ln);
        item->setData(UNIT_ROLE, man.unit);
    }
    fillUnits();
    countTicked();

    connect(ui->unit, &QComboBox::currentIndexChanged, this, &GroupOrder::filter);
    connect(ui->search, &QLineEdit::textChanged, this, &GroupOrder::filter);
    connect(ui->men, &QListWidget::itemChanged, this, &GroupOrder::countTicked);
    const auto tickShown = [this](Qt::CheckState state, bool shownOnly) {
        for (int i = 0; i < ui->men->count(); ++i) {
            QListWidgetItem *item = ui->men->item(i);
            if (!shownOnly || !item->isHidden())
                item->setCheckState(state);
        }
    };
    connect(ui->tickShown, &QPushButton::clicked, this, [tickShown] { tickShown(Qt::Checked, true); });
    connect(ui->untickAll, &QPushButton::clicked, this, [tickShown] { tickShown(Qt::Unchecked, false); });
    connect(ui->write, &QPushButton::clicked, this, &GroupOrder::write);
    // The extracts of the order in the fields (its category, number and
    // date), one page for each serviceman it names, written now or before.
    auto *extracts = new QPushButton(QStringLiteral("Выписки из этого приказа…"), this);
    extracts->setObjectName(QStringLiteral("extracts"));
    if (auto *grid = qobject_cast<QGridLayout *>(ui->write->parentWidget()->layout()))
        grid->addWidget(extracts, grid->rowCount(), 0, 1, grid->columnCount());
    connect(extracts, &QPushButton::clicked, this, [this] {
        say(ExtractPrint::show(this, ui->category->currentData().toString(), ui->number->text(),
                               ui->date->date().toString(DATE_FORMAT), QString()));
    });
    connect(ui->addDocuments, &QPushButton::clicked, this, [this] {
        addDocuments(QFileDialog::getOpenFileNames(this, QStringLiteral("Выбрать документы"), QDir::currentPath(),
                                                   QStringLiteral("All files (*.*)")));
    });
    connect(ui->dropDocument, &QPushButton::clicked, this, [this] { delete ui->documents->currentItem(); });
}

GroupOrder::~GroupOrder()
{
    delete ui;
}

void GroupOrder::fillUnits()
{
    ui->unit->addItem(QStringLiteral("Все подразделения"));
    QStringList units;
    for (const GroupOrders::Man &man : men)
        if (!units.contains(man.unit))
            units.append(man.unit);
    for (const QString &unit : units)
        ui->unit->addItem(unit.isEmpty() ? QStringLiteral("(без подразделения)") : unit, unit);
}

void GroupOrder::filter()
{
    const bool anyUnit = ui->unit->currentIndex() <= 0;
    const QString unit = ui->unit->currentData().toString();
    const QString text = ui->search->text().trimmed();
    for (int i = 0; i < ui->men->count(); ++i) {
        QListWidgetItem *item = ui->men->item(i);
        const bool shown = (anyUnit || item->data(UNIT_ROLE).toString() == unit) &&
                           (text.isEmpty() || item->text().contains(text, Qt::CaseInsensitive));
        item->setHidden(!shown);
    }
}

void GroupOrder::countTicked()
{
    ui->chosen->setText(QStringLiteral("Отмечено: %1").arg(tickedNumbers().size()));
}

QStringList GroupOrder::tickedNumbers() const
{
    QStringList out;
    for (int i = 0; i < ui->men->count(); ++i) {
        const QListWidgetItem *item = ui->men->item(i);
        if (item->checkState() == Qt::Checked)
            out.append(item->data(LN_ROLE).toString());
    }
    return out;
}

void GroupOrder::addDocuments(const QStringList &files)
{
    for (const QString &file : files) {
        const QString name = QFileInfo(file).fileName();
        if (name.isEmpty() || !ui->documents->findItems(name, Qt::MatchExactly).isEmpty())
            continue;
        auto *item = new QListWidgetItem(name, ui->documents);
        item->setData(PATH_ROLE, file);
        item->setToolTip(QDir::toNativeSeparators(file));
    }
}

bool GroupOrder::storeDocuments(QList<GroupOrders::Document> *documents)
{
    for (int i = 0; i < ui->documents->count(); ++i) {
        const QListWidgetItem *item = ui->documents->item(i);
        GroupOrders::Document d;
        d.name = item->text();
        QString error;
        if (!Attachments::store(item->data(PATH_ROLE).toString(), d.name, &d.target, &d.fresh, &error)) {
            for (const GroupOrders::Document &stored : std::as_const(*documents))
                if (stored.fresh)
                    Attachments::discard(stored.target);
            documents->clear();
            say(QStringLiteral("Приказы не добавлены: файл «%1» не прикреплён: %2.").arg(d.name, error));
            return false;
        }
        documents->append(d);
    }
    return true;
}

QString GroupOrder::fio(const QString &ln) const
{
    for (const GroupOrders::Man &man : men)
        if (man.ln == ln)
            return man.name.isEmpty() ? ln : man.name;
    return ln;
}

void GroupOrder::say(const QString &text)
{
    ui->note->setText(text);
}

void GroupOrder::write()
{
    say(QString());
    QStringList lns = tickedNumbers();
    const QString code = ui->category->currentData().toString();
    const Orders::Fields fields{ui->date->date().toString(DATE_FORMAT), ui->number->text(),
                                ui->issuer->text(), ui->title->text(), ui->outgoing->text()};
    if (!writable(lns, fields) || !confirmed(code, fields, &lns))
        return;
    // The copies are made before the write lock is taken, and go again when
    // the records are not written; they take their names once they are.
    QList<GroupOrders::Document> documents;
    if (!storeDocuments(&documents))
        return;
    const GroupOrders::Result result = GroupOrders::add(lns, code, fields, documents);
    const bool settled = settleDocuments(documents, result.outcome == GroupOrders::Outcome::Done);
    tellWritten(result, lns, code, documents.size(), settled);
}

bool GroupOrder::writable(const QStringList &lns, const Orders::Fields &fields)
{
    if (lns.isEmpty()) {
        say(QStringLiteral("Приказы не добавлены: не отмечен ни один военнослужащий."));
        return false;
    }
    if (fields.number.isEmpty()) {
        say(QStringLiteral("Приказы не добавлены: не заполнен номер."));
        return false;
    }
    const QString field = Query::unstorable({{ui->titleLabel->text(), fields.name},
                                             {QStringLiteral("Номер"), fields.number},
                                             {QStringLiteral("Чей приказ"), fields.issuer},
                                             {QStringLiteral("Исх.№СУ"), fields.outgoing}});
    if (!field.isEmpty()) {
        say(QStringLiteral("Приказы не добавлены: в поле «%1» есть знак, который нельзя сохранить (нулевой "
                           "символ). Уберите его и повторите.")
                .arg(field));
        return false;
    }
    return true;
}

bool GroupOrder::confirmed(const QString &code, const Orders::Fields &fields, QStringList *lns)
{
    QSet<QString> held;
    QSqlError error;
    if (!GroupOrders::holders(code, fields.number, *lns, &held, &error)) {
        say(QStringLiteral("Приказы не добавлены: не удалось проверить номер: %1").arg(error.text()));
        return false;
    }
    QStringList heldNames;
    for (const QString &ln : std::as_const(*lns))
        if (held.contains(ln))
            heldNames.append(fio(ln));
    lns->removeIf([&held](const QString &ln) { return held.contains(ln); });

    QMessageBox box(QMessageBox::Question, QStringLiteral("Подтверждение"),
                    QStringLiteral("Будет добавлено приказов: %1").arg(lns->size()), QMessageBox::NoButton,
                    this);
    QPushButton *yes = nullptr;
    if (heldNames.isEmpty()) {
        yes = box.addButton(QStringLiteral("Добавить"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    } else {
        box.setInformativeText(
            QStringLiteral("Уже есть приказ «%1» № %2: %3.")
                .arg(ui->category->currentText(), fields.number, heldNames.join(QStringLiteral(", "))));
        if (!lns->isEmpty())
            yes = box.addButton(QStringLiteral("Пропустить их"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Остановить"), QMessageBox::RejectRole);
    }
    box.exec();
    if (yes == nullptr || box.clickedButton() != yes) {
        say(QStringLiteral("Приказы не добавлены."));
        return false;
    }
    return true;
}

bool GroupOrder::settleDocuments(const QList<GroupOrders::Document> &documents, bool done)
{
    bool settled = true;
    for (const GroupOrders::Document &d : documents) {
        if (!d.fresh)
            continue;
        if (!done)
            Attachments::discard(d.target);
        else if (!Attachments::settle(d.target))
            settled = false;
    }
    return settled;
}

void GroupOrder::tellWritten(const GroupOrders::Result &result, const QStringList &lns, const QString &code,
                             qsizetype documents, bool settled)
{
    switch (result.outcome) {
    case GroupOrders::Outcome::Done:
        say(QStringLiteral("Добавлено приказов: %1.").arg(lns.size()) +
            (documents == 0 ? QString() : QStringLiteral(" К каждому прикреплено документов: %1.").arg(documents)) +
            (settled ? QString()
                     : QStringLiteral(" Копия документа ещё не на своём месте в папке документов: программа "
                                      "поставит её туда при следующем запуске.")));
        emit written(lns, code);
        break;
    case GroupOrders::Outcome::Gone:
        say(QStringLiteral("Приказы не добавлены: военнослужащего %1 (личный номер %2) уже нет в базе под "
                           "этим номером (удалён или изменён на другом рабочем месте). Обновите список.")
                .arg(fio(result.ln), result.ln));
        break;
    case GroupOrders::Outcome::Taken:
        say(QStringLiteral(
                "Приказы не добавлены: у %1 только что появился приказ с этим номером (добавлен на "
                "другом рабочем месте). Повторите.")
                .arg(fio(result.ln)));
        break;
    case GroupOrders::Outcome::Changed:
    case GroupOrders::Outcome::Failed:
        say(QStringLiteral("Приказы не добавлены: %1").arg(Errors::describe(result.error)));
        break;
    }
}
