// Account name from the password database, falling back to the environment.
#include "app/Account.h"

#include <pwd.h>
#include <unistd.h>

QString accountName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name).left(255);
    return qEnvironmentVariable("USER").left(255);
}
