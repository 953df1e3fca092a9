// The workstation tree's images, drawn here so the program ships no picture files.
#pragma once

#include <QIcon>
#include <QMap>
#include <QString>

// The image list of the tree: "root" (the domain) and "pc" (a workstation).
QMap<QString, QIcon> WorkstationImageList();
