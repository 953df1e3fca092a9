// Turning a report file into what the report view shows. The file on disk stays exact; only
// the text handed to the viewer is normalised.
#pragma once

#include <QByteArray>
#include <QString>

// Decodes the file's Windows-1252 bytes and completes the entity references the report
// template writes without their semicolon ("&nbsp", "&#153"), which the viewer would show
// literally. "&#153" is the Windows-1252 trade mark sign, given to the viewer as U+2122.
QString reportHtmlForDisplay(const QByteArray& fileBytes);
