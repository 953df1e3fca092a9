// The login name of the account running the console.
#pragma once

#include <QString>

QString accountName();
