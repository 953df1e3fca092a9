// The DNS domain of the computer the console runs on.
#pragma once

#include <QString>

// From the resolver configuration or the host name; empty when unknown. The domain shown when
// neither the network's settings nor its directory name one.
QString hostDomainName();
