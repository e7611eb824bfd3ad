#include "windows/grouplift.h"
#include "ui_grouplift.h"

#include "storage/db/errors.h"
#include "storage/db/query.h"
#include "view/dialogs.h"

#include <QDate>
#include <QListWidgetItem>
#include <QPushButton>
#include <QSet>

namespace {

const QString DATE_FORMAT = QStringLiteral("dd.MM.yyyy");
// The place of the penalty in `penalties`, and its unit for the filter.
constexpr int INDEX_ROLE = Qt::UserRole;
constexpr int UNIT_ROLE = Qt::UserRole + 1;

} // namespace

GroupLift::GroupLift(const QStringList &servicemen, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GroupLift)
    , chosen(servicemen)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->date->setDate(QDate::currentDate());
    load();
    connect(ui->unit, &QComboBox::currentIndexChanged, this, &GroupLift::filter);
    connect(ui->search, &QLineEdit::textChanged, this, &GroupLift::filter);
    connect(ui->penalties, &QListWidget::itemChanged, this, &GroupLift::countTicked);
    const auto tick = [this](Qt::CheckState state, bool shownOnly) {
        for (int i = 0; i < ui->penalties->count(); ++i) {
            QListWidgetItem *item = ui->penalties->item(i);
            if (!shownOnly || !item->isHidden())
                item->setCheckState(state);
        }
    };
    connect(ui->tickShown, &QPushButton::clicked, this, [tick] { tick(Qt::Checked, true); });
    connect(ui->untickAll, &QPushButton::clicked, this, [tick] { tick(Qt::Unchecked, false); });
    connect(ui->write, &QPushButton::clicked, this, &GroupLift::write);
}

GroupLift::~GroupLift()
{
    delete ui;
}

void GroupLift::load()
{
    const QSignalBlocker blocking(ui->penalties);
    ui->penalties->clear();
    QSqlError error;
    std::vector<GroupOrders::Penalty> all;
    if (!GroupOrders::penaltiesInForce(&all, &error))
        say(QStringLiteral("Взыскания не прочитаны: %1").arg(Errors::describe(error)));
    const QSet<QString> men(chosen.cbegin(), chosen.cend());
    penalties.clear();
    for (GroupOrders::Penalty &p : all)
        if (men.isEmpty() || men.contains(p.ln))
            penalties.push_back(std::move(p));
    QStringList units;
    for (size_t i = 0; i < penalties.size(); ++i) {
        const GroupOrders::Penalty &p = penalties[i];
        const QString shown = QStringLiteral("%1  %2 (%3) — № %4 от %5: %6")
                                  .arg(p.unit, p.fio, p.ln, p.number, p.date, p.name)
                                  .simplified();
        auto *item = new QListWidgetItem(shown, ui->penalties);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setData(INDEX_ROLE, static_cast<int>(i));
        item->setData(UNIT_ROLE, p.unit);
        if (!units.contains(p.unit))
            units.append(p.unit);
    }
    const QString unit = ui->unit->currentData().toString();
    const bool anyUnit = ui->unit->currentIndex() <= 0;
    {
        const QSignalBlocker quiet(ui->unit);
        ui->unit->clear();
        ui->unit->addItem(QStringLiteral("Все подразделения"));
        for (const QString &u : std::as_const(units))
            ui->unit->addItem(u.isEmpty() ? QStringLiteral("(без подразделения)") : u, u);
        if (!anyUnit)
            ui->unit->setCurrentIndex(std::max(0, ui->unit->findData(unit)));
    }
    filter();
    countTicked();
}

void GroupLift::filter()
{
    const bool anyUnit = ui->unit->currentIndex() <= 0;
    const QString unit = ui->unit->currentData().toString();
    const QString text = ui->search->text().trimmed();
    for (int i = 0; i < ui->penalties->count(); ++i) {
        QListWidgetItem *item = ui->penalties->item(i);
        item->setHidden(!((anyUnit || item->data(UNIT_ROLE).toString() == unit) &&
                          (text.isEmpty() || item->text().contains(text, Qt::CaseInsensitive))));
    }
}

void GroupLift::countTicked()
{
    ui->chosen->setText(QStringLiteral("Отмечено: %1 из %2").arg(tickedPenalties().size()).arg(penalties.size()));
}

QStringList GroupLift::tickedPenalties() const
{
    QStringList out;
    for (int i = 0; i < ui->penalties->count(); ++i) {
        const QListWidgetItem *item = ui->penalties->item(i);
        if (item->checkState() == Qt::Checked)
            out.append(penalties[static_cast<size_t>(item->data(INDEX_ROLE).toInt())].id);
    }
    return out;
}

void GroupLift::say(const QString &text)
{
    ui->note->setText(text);
}

void GroupLift::write()
{
    say(QString());
    std::vector<GroupOrders::Penalty> ticked;
    for (int i = 0; i < ui->penalties->count(); ++i) {
        const QListWidgetItem *item = ui->penalties->item(i);
        if (item->checkState() == Qt::Checked)
            ticked.push_back(penalties[static_cast<size_t>(item->data(INDEX_ROLE).toInt())]);
    }
    const QString number = ui->number->text();
    const QString date = ui->date->date().toString(DATE_FORMAT);
    if (ticked.empty()) {
        say(QStringLiteral("Взыскания не сняты: не отмечено ни одно взыскание."));
        return;
    }
    if (number.isEmpty()) {
        say(QStringLiteral("Взыскания не сняты: не заполнен номер приказа о снятии."));
        return;
    }
    if (!Query::unstorable({{QStringLiteral("Номер"), number}}).isEmpty()) {
        say(QStringLiteral("Взыскания не сняты: в номере есть знак, который нельзя сохранить (нулевой символ). "
                           "Уберите его и повторите."));
        return;
    }
    if (!Dialogs::confirm(this, QStringLiteral("Будет снято взысканий: %1. Снять?").arg(ticked.size()))) {
        say(QStringLiteral("Взыскания не сняты."));
        return;
    }
    const GroupOrders::Result result = GroupOrders::lift(ticked, date, number);
    const auto fio = [&ticked](const QString &ln) {
        for (const GroupOrders::Penalty &p : ticked)
            if (p.ln == ln && !p.fio.isEmpty())
                return p.fio;
        return ln;
    };
    switch (result.outcome) {
    case GroupOrders::Outcome::Done: {
        QStringList lns;
        for (const GroupOrders::Penalty &p : ticked)
            if (!lns.contains(p.ln))
                lns.append(p.ln);
        load();
        say(QStringLiteral("Снято взысканий: %1 (приказ № %2 от %3).").arg(result.written).arg(number, date));
        emit written(lns);
        break;
    }
    case GroupOrders::Outcome::Gone:
        say(QStringLiteral("Взыскания не сняты: военнослужащего %1 (личный номер %2) уже нет в базе под этим "
                           "номером (удалён или изменён на другом рабочем месте). Список прочитан заново.")
                .arg(fio(result.ln), result.ln));
        load();
        break;
    case GroupOrders::Outcome::Changed:
    case GroupOrders::Outcome::Taken:
        say(QStringLiteral("Взыскания не сняты: взыскание № %1 у %2 тем временем снято, изменено или удалено на "
                           "другом рабочем месте. Список прочитан заново, отметьте взыскания ещё раз.")
                .arg(result.number, fio(result.ln)));
        load();
        break;
    case GroupOrders::Outcome::Failed:
        say(QStringLiteral("Взыскания не сняты: %1").arg(Errors::describe(result.error)));
        break;
    }
}
