#ifndef ORDERS_H
#define ORDERS_H

#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The orders of one serviceman (personal number `ln`) in one category
// (`code`) as the orders window reads and writes them, and the documents
// attached to them. Every write runs in a transaction that first checks the
// serviceman is still there; on a server the add, change, lifting and
// deletion of an order are each one statement that checks him itself (one
// round trip). The order writes of the window are run once more from the
// start when they met another clerk's change at the same moment (on a
// server). On a file the values are spliced into the statements' texts as
// the window has always written them; on a server they travel apart from
// the one statement's text.
namespace Orders {

// The eight fields of an order as the list shows them: name, date, number,
// issuer, outgoing number, lifting number, lifting date, in force.
inline constexpr int FIELDS = 8;

struct Row
{
    std::array<QString, FIELDS> cells;
    // The stored identity; read only while two orders share a number.
    QString id;
};

struct List
{
    std::vector<Row> rows;
    // False when the orders could not be read (`error` set): an empty list
    // then does not mean the serviceman has none.
    bool read = true;
    QSqlError error;
    // The last statement run.
    QString statement;
};

// The orders in the order the database gives them. Numbers restart every
// year, so a serviceman may hold two orders of one number: then the list is
// read again with each row's stored identity.
List list(const QString &ln, const QString &code);

// The dates of the orders of `number`, in the order they were added. False
// (with `error`) when they could not be read. `statement`, where given,
// receives the text.
bool numberDates(const QString &ln, const QString &code, const QString &number, QStringList *dates,
                 QSqlError *error, QString *statement = nullptr);

// What an add or a change writes.
struct Fields
{
    QString date;
    QString number;
    QString issuer;
    QString name;
    QString outgoing;
};

// The values of a listed order that a change or a lifting finds unchanged
// before it writes: name, date, issuer, outgoing number, lifting number,
// lifting date, in force.
using Loaded = std::array<QString, 7>;

enum class Outcome {
    Done,
    // A statement or the commit failed: `error` says why.
    Failed,
    // The serviceman is no longer there under `ln`: nothing was written.
    Gone,
    // The order no longer holds what the list loaded (another clerk changed
    // or deleted it): nothing was written.
    Changed,
    // The statement met more than the one order (another of its number came
    // meanwhile): nothing was written.
    Several,
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    QSqlError error;
    // The last statement text built (empty when none was).
    QString statement;
    // Add and change: the documents a deleted order of the written number
    // left under it, which the order now shows.
    QStringList leftOver;
    // Delete: the dates of the orders that still hold the number, and how
    // many documents stay attached under it for them.
    QStringList others;
    int attached = 0;
};

Result add(const QString &ln, const QString &code, const Fields &fields);
// The order `old` (of the stored identity `id`, empty when its number is
// the only one of its kind) as listed with `was`. The attached documents
// follow the order to a new number; while another order keeps the old number
// both keep them.
Result change(const QString &ln, const QString &code, const QString &old, const QString &id,
              const Loaded &was, const Fields &fields);
// Lifts the penalty `number` (identity `id`) as listed with `was`.
Result lift(const QString &ln, const QString &code, const QString &number, const QString &id,
            const Loaded &was, const QString &liftDate, const QString &liftNumber);
// Deletes the order `number` (identity `id`); one found gone already is no
// failure.
Result remove(const QString &ln, const QString &code, const QString &number, const QString &id);

// Records the document `name`, stored as `target`, as attached to the order
// `number`.
Result attach(const QString &ln, const QString &code, const QString &number, const QString &target,
              const QString &name);
// Removes the attachment `name` of the order `number`; `copies` receives the
// stored copies it referred to, looked up before the rows go.
Result detach(const QString &ln, const QString &code, const QString &number, const QString &name,
              QSet<QString> *copies);

// The names of the documents attached to the order `number`, in the order
// they were attached. False when they could not be read (`error` set; the
// failure is in the log).
bool documents(const QString &ln, const QString &code, const QString &number, QStringList *names,
               QSqlError *error);
// How the look-up of one attached document ended.
enum class Lookup { Found, Missing, Failed };
// The stored copy of the document `name` attached to the order `number`:
// `path` as the attachment holds it (the last one read, should the name be
// there twice). Failed sets `error`; the failure is in the log.
Lookup storedCopy(const QString &ln, const QString &code, const QString &number, const QString &name,
                  QString *path, QSqlError *error);

} // namespace Orders

#endif // ORDERS_H
