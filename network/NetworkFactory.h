// Chooses and builds the network back end for a --network value.
#pragma once

#include "network/Network.h"

#include <memory>
#include <QString>

// "sim:DIR" is the simulated network in DIR, "smb:FILE" a real Windows network described by the
// INI file FILE (throws VcError when FILE or the credentials it names cannot be used). An empty
// source means sim:<programFolder>/Network when that folder exists, else no network (every
// enumeration fails as a whole).
std::unique_ptr<Network> createNetwork(const QString& source, const QString& programFolder);
