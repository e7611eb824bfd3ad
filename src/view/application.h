#ifndef APPLICATION_H
#define APPLICATION_H

#include "storage/setup/schema.h"

#include <QStringList>

class SingleInstance;

// What the executable (and every test) sets up before the first window, and
// the start of a copy in its working folder.
namespace Application {

// Program-wide set-up shared by the executable and the tests: resources,
// what storage does on each opening of the program's connection
// (Opening::install) and the Russian locale that fixes the date forms.
void initApplication();
// True when the command line asks for the schema verification.
bool wantsVerification(const QStringList &arguments);
// The start of a copy in the working folder, before its main window:
// the folder's lock, then "--ver" when the arguments ask for it. False
// when this copy does not start (another copy runs in the folder, or the
// user chose not to open a folder another computer holds). The
// verification is not run where the folder was opened over another
// computer's lock; `verification` says so then.
bool start(SingleInstance &instance, const QStringList &arguments, Schema::Report *verification);
// What the main window tells of a verification: what it dropped and
// where the database is kept as it was before, what it did not drop,
// and why it did not run.
QStringList verificationNotes(const Schema::Report &report);

} // namespace Application

// The statement runner's namespace (function.h) has the verification here,
// beside the start that runs it: it asks for a server's password and shows
// its boxes, so it is built with the widgets.
namespace Function {

// Brings the schema of data/BaseDate.db (or of the server chosen) into line
// with the descriptors and tells the user what stopped it; what it changed
// is in the report.
Schema::Report ver();

} // namespace Function

#endif // APPLICATION_H
