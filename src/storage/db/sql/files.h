#ifndef SQL_FILES_H
#define SQL_FILES_H

// The statement catalogue, the attached documents (Files) and their content (Kopii). Part of the one catalogue of
// storage/sql.h, which includes it (and only it should).

namespace Sql {

// ---- Files: the documents attached to orders ------------------------------
// A changed personal number follows into the attached files. %1 new LN,
// %2 old LN.
inline constexpr char UPDATE_FILES_LN[] = "UPDATE Files SET LN = '%1' WHERE LN = '%2'";
// %1 number, %2 code, %3 "files/" + name, %4 name, %5 LN.
inline constexpr Dialects INSERT_FILE{
    "INSERT INTO Files('prikaznom','what','Giper','name_file','LN')VALUES('%1','%2','%3','%4','%5')",
    "INSERT INTO Files(prikaznom,what,Giper,name_file,LN)VALUES('%1','%2','%3','%4','%5')"};
// %1 "Files", %2 LN, %3 code, %4 number.
inline constexpr auto SELECT_FILES =
    marked("SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4'{in order added};");
// The attachments of one serviceman's order, found by the personal number as
// well, so that one serviceman's document is never taken for another's.
// %1 LN, %2 code, %3 number, %4 name.
inline constexpr char SELECT_ORDER_FILE_PATH[] =
    "SELECT Giper FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND name_file = '%4';";
inline constexpr char DELETE_ORDER_FILE[] =
    "DELETE FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND name_file = '%4';";
// How many attachments refer to one stored copy. %1 path of the copy.
inline constexpr char COUNT_FILE_REFERENCES[] = "SELECT count(*) FROM Files WHERE Giper = '%1';";
// Which of the copies named are still named by an attachment. %1 as many
// "?" as names, joined by commas; bound: the names.
inline constexpr char SELECT_NAMED_COPIES[] = "SELECT DISTINCT Giper FROM Files WHERE Giper IN (%1)";
// The attachments follow their order to its new number.
// %1 LN, %2 code, %3 old number, %4 new number.
inline constexpr char RENUMBER_FILES[] =
    "UPDATE Files SET prikaznom = '%4' WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3';";
// The attachments kept under a number that no order of the serviceman holds
// in the category (left by a deleted order). Bound: LN, code, number.
inline constexpr auto SELECT_LEFTOVER_FILES =
    marked("SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 "
           "FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = "
           "Files.prikaznom) ORDER BY {rowid};");
// Attachments are kept under the order's number. When one of two orders of
// one number is given another, the other keeps its attachments and the
// renumbered one gets rows of its own referring to the same stored copies;
// a name the new number already has is not added twice.
// %1 LN, %2 code, %3 old number, %4 new number.
inline constexpr char COPY_FILES_TO_NUMBER[] =
    "INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT '%4', what, Giper, name_file, LN "
    "FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND NOT EXISTS (SELECT 1 FROM "
    "Files AS taken WHERE taken.LN = '%1' AND taken.what = '%2' AND taken.prikaznom = '%4' AND "
    "taken.name_file = Files.name_file)";
// The attached documents of the service cards. %1 as for the servicemen.
inline constexpr auto SELECT_CARD_FILES =
    marked("SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY {rowid};");
// The stored copies the attachments refer to, each once: in order for the
// copy of a file's documents onto a server, and as found for the check of
// the folder "files".
inline constexpr char SELECT_FILE_PATHS[] = "SELECT DISTINCT Giper FROM Files ORDER BY Giper";
inline constexpr char SELECT_FILE_COPIES[] = "SELECT DISTINCT Giper FROM Files";

// ---- Kopii: the content of attached documents -----------------------------
// The content of attached documents kept in the database (table Kopii, one
// row per stored copy, keyed by the path Giper of the Files rows). On a
// server every document is kept there; an SQLite file holds them when it was
// written from a server. %1 the path.
inline constexpr char SELECT_CONTENT[] = "SELECT Soderz FROM Kopii WHERE Giper = '%1'";
// Server only: a fingerprint of the content, so that an identical document is
// found without fetching it.
inline constexpr char SELECT_CONTENT_MD5[] = "SELECT md5(Soderz) FROM Kopii WHERE Giper = '%1'";
// Bound: the path, the content. A path already taken is left as it is (no
// row is added).
inline constexpr char INSERT_CONTENT[] =
    "INSERT INTO Kopii (Giper, Soderz) VALUES (?, ?) ON CONFLICT (Giper) DO NOTHING";
// Server only: many documents in one statement, as INSERT_CONTENT does each.
// %1 the rows, each CONTENT_ROW (%1 the path, %2 the content in hex digits)
// joined by commas. The values are quoted into the text: Qt's driver spends
// three round trips on a statement with bound values.
inline constexpr char INSERT_CONTENT_ROWS[] = "INSERT INTO Kopii (Giper, Soderz) VALUES %1 ON CONFLICT (Giper) DO NOTHING";
inline constexpr char CONTENT_ROW[] = "('%1', decode('%2', 'hex'))";
// The content goes once no attachment refers to it.
inline constexpr char DELETE_UNUSED_CONTENT[] =
    "DELETE FROM Kopii WHERE Giper = '%1' AND NOT EXISTS (SELECT 1 FROM Files WHERE Giper = '%1')";
// In an SQLite file the table is made only in a backup written from a server
// (the register's own file keeps its documents in the folder "files").
inline constexpr char CONTENT_TABLE[] = "Kopii";
inline constexpr char CREATE_CONTENT_TABLE[] = "CREATE TABLE Kopii (Giper TEXT PRIMARY KEY, Soderz BLOB)";
inline constexpr char SELECT_CONTENT_PATHS[] = "SELECT Giper FROM Kopii ORDER BY Giper";
// Every document with its content, for a backup of a server (read row by row).
inline constexpr char SELECT_ALL_CONTENT[] = "SELECT Giper, Soderz FROM Kopii ORDER BY Giper";

} // namespace Sql

#endif // SQL_FILES_H
