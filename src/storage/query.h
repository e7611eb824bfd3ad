#ifndef QUERY_H
#define QUERY_H

#include <QString>

// What goes with the statement runner (Function::Myquery): values put into a
// statement's text, and the one writer of the error log "log".
namespace Query {

// A value made safe to stand between single quotes of a statement.
QString quote(const QString &value);
// Appends text to the error log "log" in the working directory; false
// when the log could not be written.
bool appendLog(const QString &text);

} // namespace Query

#endif // QUERY_H
