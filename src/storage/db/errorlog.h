#ifndef ERRORLOG_H
#define ERRORLOG_H

#include <QString>

// The error log "log" in the working folder: the statements that failed,
// and what the program could not do without telling the user at once.
namespace Query {

// Appends text to the error log; false when the log could not be written.
// Safe from any thread (the daily copy writes from one of its own).
bool appendLog(const QString &text);

} // namespace Query

#endif // ERRORLOG_H
