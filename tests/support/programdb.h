#ifndef PROGRAMDB_H
#define PROGRAMDB_H

namespace TestSupport {

// Opens the program's default connection on data/BaseDate.db of the current
// folder, as the main window does, for tests of windows that run without it.
// WorkDir removes the connection when it goes.
bool openProgramDb();

} // namespace TestSupport

#endif // PROGRAMDB_H
