#ifndef ATTACHMENTFOLDER_H
#define ATTACHMENTFOLDER_H

#include <QString>

// The folder of copies ("files" in the working folder) as the store of
// documents' attaching, removal and reading share it: where a path really
// leads and whether that is inside the folder, the place a copy is put aside,
// and the mark of a copy waiting for its name.
namespace AttachmentFolder {

// A fresh copy waits under this mark beside its place: ".name.attaching".
inline constexpr char PART_PREFIX[] = ".";
inline constexpr char PART_SUFFIX[] = ".attaching";

QString folder();

// The place `path` names once symbolic links and ".." are resolved, as the
// system would resolve them; a part that does not exist yet is added to its
// nearest existing folder as it stands. Empty where no place can be named (a
// link that leads nowhere, a missing part "..").
QString realPath(const QString &path);

// Whether `path` lies inside the folder `root` (which must exist) once
// symbolic links and ".." are resolved: the only places whose files the
// program opens, writes or moves for an attachment. A record may name any
// path (one restored from someone else's backup, for instance).
bool inStore(const QString &path, const QString &root);
// inStore() of the folder of copies.
bool insideFolder(const QString &path);

// Where a copy of the folder is kept once no attachment needs it.
QString detachedPlace(const QString &copy);

// Whether the name is taken, by a file or by a link, even one that leads
// nowhere.
bool taken(const QString &path);

} // namespace AttachmentFolder

#endif // ATTACHMENTFOLDER_H
