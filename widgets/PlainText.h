// Names, paths and engine messages reach labels and tool tips from outside: shown as text,
// never interpreted as markup, control characters made visible.
#pragma once

#include <QString>

class QLabel;

namespace PlainText {

// Sets the label to show text literally.
void show(QLabel* label, const QString& text);

// A tool tip that shows text literally, line breaks kept.
QString toolTip(const QString& text);

} // namespace PlainText
