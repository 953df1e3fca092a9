// Whether a machine answers on the SMB port, found without Samba's libraries, within the
// timeout: the name lookup and the connection are the first steps of every job on a machine.
#pragma once

#include "network/NetworkReason.h"

#include <optional>
#include <QByteArray>
#include <QString>

struct SmbPortAnswer {
    QByteArray address;   // numeric address that accepted the connection; empty when none did
    NetworkReason reason; // why none did
};

// The first address of the machine that accepts a TCP connection on port 445 within the
// timeout (the name lookup takes what it takes: a worker that runs over its deadline is ended).
SmbPortAnswer smbPortAddress(const QString& machine, int timeoutSeconds);
