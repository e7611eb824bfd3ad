#ifndef OPENING_H
#define OPENING_H

// What the register needs each time the program's connection opens: a file
// is given the function report_day the report's statements read dates by, a
// server's register without the history of changes gets it made. The
// connection calls these back (Connection::setHooks) once install() has
// given them to it; the program's set-up does that before the first window
// (Application::initApplication), as does any other process that opens the
// program's connection without that set-up.
namespace Opening {

void install();

} // namespace Opening

#endif // OPENING_H
