#ifndef ATTACHMENTREMOVAL_H
#define ATTACHMENTREMOVAL_H

#include <QSet>
#include <QString>
#include <QStringList>

// The removal of attachments' copies (attachments.h tells how the store
// keeps them): a copy no attachment needs is put aside, never deleted; a
// removal or an attachment that a stop interrupted is finished at the next
// start, and a restore brings back the copies its records name.
namespace Attachments {

// Notes the copy of an attachment about to be removed, so that a program
// stopped after the removal is written and before removeUnused() puts the
// copy aside has it put aside at the next start.
void markRemoval(const QString &copy);
// The removal was not written: the note goes.
void forgetRemoval();

// At start, what a program stopped during an attachment or a removal of one
// left in the folder: a copy waiting for its name gets it where its record
// was written and goes where it was not; a copy of a written removal is put
// aside. Says what it finished, for the user.
QStringList finishInterrupted();

// Moves those of the copies that no attachment refers to any more into the
// folder of detached copies, under the same name. Only copies inside the
// folder are ever moved; none is deleted. On a server there is nothing left
// to do: the content went in the removal's own transaction.
void removeUnused(const QSet<QString> &copies);

// Brings back from the folder of detached copies every copy that an
// attachment of the database refers to and that is missing (after a
// restore). Returns how many came back.
int recoverDetached();

} // namespace Attachments

#endif // ATTACHMENTREMOVAL_H
