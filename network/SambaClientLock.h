// The one lock around every call into Samba's client libraries.
#pragma once

#include <mutex>

// Debian's Samba client libraries are built without thread support (their thread hooks are
// not exported), and they keep process-wide state such as the talloc stack frames without
// locks. Every call into them, file copies and service queries alike, takes this lock; only
// the waits that need no library (name lookups, TCP connects) run on several threads at once.
inline std::mutex& sambaClientMutex() {
    static std::mutex mutex;
    return mutex;
}
