#ifndef SUMMARYCOLUMNS_H
#define SUMMARYCOLUMNS_H

#include "storage/db/sql.h"

#include <QString>

#include <array>

// The one definition of the columns of the two servicemen tables: the
// summary table of the main window (the columns of Sql::SELECT_SUMMARY) and
// the list window (the columns of Sql::SELECT_ROSTER). The windows, the
// roster read, the recount and the export all read it; adding a column to
// the summary starts here and in the statement. Plain data: what the tables
// do with it on screen is in view/columns.h.
namespace SummaryColumns {

// One column: the field of the statement that lands in it, the header text
// it gets once the database is open (nullptr: the form's text stays), and
// its width then (0: fitted to its texts, or left as the form has it).
struct Column
{
    const char *field;
    const char *header;
    int width;
};

inline constexpr int COUNT = 14;

// Summary table.
inline constexpr int VP = 0;
inline constexpr int FIO = 3;
inline constexpr int BIRTH_DATE = 4;
inline constexpr int LN = 5;
inline constexpr int FIRST_COUNT = 6;
inline constexpr int LAST_COUNT = 11;
inline constexpr int POSITION_NUMBER = 12;
inline constexpr int RANK_NUMBER = 13;

inline constexpr std::array<Column, COUNT> SUMMARY{{
    {"VP", nullptr, 50},
    {"Dol", nullptr, 100},
    {"VZ", "Воинское\nзвание", 100},
    {"FIO", nullptr, 0},
    {"Data_comb", "Дата\nрождения", 90},
    {"LN", "Личный\nномер", 100},
    // The count columns carry the category codes, in the order of the
    // category list of the main window.
    {Code::VZS, nullptr, 130},
    {Code::BLAG, nullptr, 130},
    {Code::GR, nullptr, 130},
    {Code::ZOMO, "Знаки отличия\nМО РФ", 130},
    {Code::GOSNAG, "Государственные\nнаграды", 130},
    {Code::POSH, "Ветеран\nвоенной службы", 130},
    {"Dolz_nom", nullptr, 130},
    {"Zvan_nom", nullptr, 130},
}};

// List window: the personal columns as in the summary; the counts follow in
// another order and stay hidden.
inline constexpr int LIST_FIRST_HIDDEN = 6;
inline constexpr std::array<Column, COUNT> LIST = [] {
    std::array<Column, COUNT> list{};
    for (int c = 0; c < LIST_FIRST_HIDDEN; ++c)
        list[static_cast<size_t>(c)] = SUMMARY[static_cast<size_t>(c)];
    const char *const rest[] = {Code::BLAG, Code::GR, Code::ZOMO, Code::POSH, Code::GOSNAG, Code::VZS,
                                "Dolz_nom", "Zvan_nom"};
    for (int c = LIST_FIRST_HIDDEN; c < COUNT; ++c)
        list[static_cast<size_t>(c)] = {rest[c - LIST_FIRST_HIDDEN], nullptr, 0};
    return list;
}();

// The category code of a count column of the summary, or an empty text.
QString categoryOf(int summaryColumn);
// True for the six category codes.
bool isCategory(const QString &code);

} // namespace SummaryColumns

#endif // SUMMARYCOLUMNS_H
