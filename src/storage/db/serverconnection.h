#ifndef SERVERCONNECTION_H
#define SERVERCONNECTION_H

#include "storage/setup/settings.h"

#include <QString>
#include <functional>

// Connections to the register on a PostgreSQL server.
namespace Connection {

// The register on a PostgreSQL server. Registers the connection `name` (the
// default connection when none is given) with Qt's QPSQL driver, sslmode
// "prefer", and opens it. The password is `password` when one is given;
// otherwise libpq takes it from ~/.pgpass. `needsPassword` is set when the
// server asked for a password and none was at hand. On failure the
// connection stays registered but closed and `reason` says why; a refusal
// for the encryption (the server's certificate not confirmed, a server
// that does not encrypt) is told as such.
bool openServer(const Settings::Server &server, const QString &password, QString *reason, bool *needsPassword,
                const QString &name = QString());
// The connection `name` to the server settings.ini names, with the password
// given at start, for work beside the program's connection (the schema
// verification opens the default one this way too).
bool openChosenServer(
    const QString &name, QString *reason,
    const std::function<bool(const Settings::Server &, QString *password)> &askPassword = {});
// "«vedomer» на сервере «host:5432»".
QString describe(const Settings::Server &server);

} // namespace Connection

#endif // SERVERCONNECTION_H
