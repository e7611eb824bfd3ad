#ifndef QUOTING_H
#define QUOTING_H

#include <QString>

// Values put into a statement's text between single quotes, as the older
// statements of the catalogue take them (see sql.h).
namespace Query {

// A value made safe to stand between single quotes of a statement: each
// single quote doubled, nothing else changed.
QString quote(const QString &value);

} // namespace Query

#endif // QUOTING_H
