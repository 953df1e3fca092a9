// Whether a machine answers on the SMB port, found without Samba's libraries so that many
// machines can be tried at once, each within the timeout.
#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

// The numeric address of the machine that accepts a TCP connection on port 445 within the
// timeout; nothing when the name does not resolve or no address answers in time.
std::optional<QByteArray> smbPortAddress(const QString& machine, int timeoutSeconds);
