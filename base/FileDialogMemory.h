// The folder and file type a save dialog was last left in, so the next one opens there.
#pragma once

#include "base/Feedback.h"

#include <QString>

class Settings;

// Kept per kind of file ("Report", "Charts", "Export"): in the settings file when one is given
// (for the next run too), else for this run only.
class FileDialogMemory {
public:
    FileDialogMemory(Settings* settings, const QString& kind) : m_settings(settings), m_kind(kind) {}

    // Opens the dialog in the last folder, with the last type chosen; the initial name (given
    // without a suffix) gets that type's suffix, else the dialog's default suffix.
    void recall(Feedback::FileDialog& dialog) const;
    // Keeps the chosen file's folder and the filter entry its suffix matches.
    void remember(const Feedback::FileDialog& dialog, const QString& chosen);

    // The filter entry ("PDF Files (*.pdf)") whose pattern matches the file name's end; the
    // longest pattern wins (".detail.csv" over ".csv"); empty when none does.
    static QString filterFor(const QString& filter, const QString& fileName);
    // The pattern's suffix without "*." ("pdf", "detail.csv"), empty for "*.*".
    static QString suffixOf(const QString& filter, const QString& description);

private:
    QString value(const QString& key) const;
    void setValue(const QString& key, const QString& value);

    Settings* m_settings;
    QString m_kind;
};
