// The workstation tree's images, drawn here so the program ships no picture files.
#pragma once

#include <QIcon>
#include <QMap>
#include <QString>

// The image list of the tree: "root" (the domain), "pc" (a workstation) and "pc-behind" (a
// workstation whose data is too far behind, as the health page marks it).
QMap<QString, QIcon> workstationImageList();
