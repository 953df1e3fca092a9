// The check a file holding a secret (a password, a key) must pass before it is read.
#pragma once

#include <QString>

// Why the open file fd may not hold a secret of this account: it is no regular file, another user
// owns it, or its group or others have any access. Empty when it may.
QString privateFileRefusal(int fd);
