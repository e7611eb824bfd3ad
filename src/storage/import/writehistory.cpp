#include "storage/import/writehistory.h"

#include "storage/history/historytable.h"

#include <QFileInfo>

namespace Import::Detail {

QList<History::Entry> updateHistory(const ServicemanRow &row)
{
    QList<History::Entry> entries;
    Servicemen::Fields before;
    int position = 0;
    int rank = 0;
    const QString &ln = row.entry.fields[Servicemen::LN];
    if (!Servicemen::read(ln, &before))
        return entries;
    Servicemen::storedNumbers(ln, &position, &rank);
    const std::pair<const char *, int> columns[] = {
        {"VP", Servicemen::VP}, {"Dol", Servicemen::DOL}, {"VZ", Servicemen::VZ},
        {"FIO", Servicemen::FIO}, {"Data_comb", Servicemen::BIRTH}};
    for (const auto &c : columns) {
        const QString now = row.entry.fields[static_cast<size_t>(c.second)];
        const QString was = before[static_cast<size_t>(c.second)];
        if (!row.given[static_cast<size_t>(c.second)] || now == was)
            continue;
        History::Entry e;
        e.action = QString::fromLatin1(History::Action::SERVICEMAN_CHANGED);
        e.ln = ln;
        e.field = QString::fromLatin1(c.first);
        e.oldValue = was;
        e.newValue = now;
        entries.append(e);
    }
    const std::pair<const char *, std::pair<int, int>> numbers[] = {
        {"Dolz_nom", {position, row.entry.position}}, {"Zvan_nom", {rank, row.entry.rank}}};
    const bool given[] = {row.given[Servicemen::DOL], row.given[Servicemen::VZ]};
    for (int i = 0; i < 2; ++i) {
        if (!given[i] || numbers[i].second.first == numbers[i].second.second)
            continue;
        History::Entry e;
        e.action = QString::fromLatin1(History::Action::SERVICEMAN_CHANGED);
        e.ln = ln;
        e.field = QString::fromLatin1(numbers[i].first);
        e.oldValue = QString::number(numbers[i].second.first);
        e.newValue = QString::number(numbers[i].second.second);
        entries.append(e);
    }
    return entries;
}

History::Entry importEvent(const QString &source, const Written &written)
{
    History::Entry event;
    event.action = QString::fromLatin1(History::Action::IMPORT);
    event.newValue = QStringLiteral("Импорт из «%1»: добавлено %2, обновлено %3, приказов %4")
                         .arg(QFileInfo(source).fileName())
                         .arg(written.added)
                         .arg(written.updated)
                         .arg(written.orders);
    return event;
}

} // namespace Import::Detail
