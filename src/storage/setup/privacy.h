#ifndef PRIVACY_H
#define PRIVACY_H

#include <QString>

// The register is personal data: what the program keeps is readable by the
// user who owns it and by no one else on the computer.
//
// The program writes its files with a private file mask (0077): everything
// it makes, here or in a database folder chosen elsewhere, is born 0600 and
// every folder 0700, including the files SQLite makes by itself (journals,
// copies made by "VACUUM INTO"), the lock, the log and settings.ini. One mask
// set once covers every writer, and no file is ever readable by others even
// for a moment. Only two kinds of writes need a word of their own: a copy
// that takes its permissions from its source (a document attached from the
// user's folders), and what the user exports to a place he chose, which gets
// the permissions his own mask gives.
namespace Privacy {

// Sets the private mask (remembering the user's) and takes group and
// others' rights off what an earlier version left open: the working folder
// (the current one, unless it is the home folder itself), its settings, log,
// lock and descriptors, the documents' folder with everything in it, the
// database folder when it lies in the working folder, and the program's
// database files ("BaseDate*") in every database folder. Symbolic links are
// not followed. What was tightened is said in one line of the log. Call once
// at start, before anything is written.
void keepPrivate();

// A file the program has just copied into its own folders: the user's alone.
void ownOnly(const QString &file);

// A file just written where the user chose (an export): when `existed` is
// false it gets the permissions the user's own mask gives a new file; a file
// that was overwritten keeps its own.
void exported(const QString &file, bool existed);

} // namespace Privacy

#endif // PRIVACY_H
