// The start-up password at rest: an Argon2id hash string, never a readable form.
#pragma once

#include <QString>

namespace Password {

// crypto_pwhash_str of the password (interactive limits).
QString hash(const QString& password);

// True when the stored value is a password hash (as opposed to the older encoded form).
bool isHash(const QString& stored);

struct Check {
    bool matches = false;
    bool needsUpgrade = false; // matched an older Base64 value: replace it by a hash
};

// Checks an entered password against the stored value. An empty stored value is the
// encoding of the empty password; a non-hash value is the older Base64 form.
Check verify(const QString& stored, const QString& entered);

} // namespace Password
