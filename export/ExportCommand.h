// The "&Export Data..." command: asks for the export file and runs the export under the busy pointer.
#pragma once

#include "base/Feedback.h"

#include <functional>
#include <optional>
#include <QDate>
#include <QString>

class ManagerDatabase;
class Settings;
class QWidget;

class ExportCommand {
public:
    // The save dialog as the command sets it up on each use.
    static Feedback::FileDialog fileDialog();

    // The question for a chosen file that exists: the export adds to it, never replaces it.
    static QString addToExistingQuestion(const QString& path);

    // Shows the save dialog (in the folder last chosen, kept in settings when given); a cancel
    // ends the command with nothing written or reported. A file that exists is added to only
    // when the operator says yes to addToExistingQuestion. Otherwise exports the inclusive day
    // range (nothing for a date box without data) to the chosen file and hands the outcome text
    // to setStatus, unless a message already told it. The busy pointer stays over busyWindow
    // until the command ends, on every path. A written export is recorded in the audit log.
    static void run(Feedback& feedback, ManagerDatabase& database, std::optional<QDate> from,
                    std::optional<QDate> to, const std::function<void(const QString&)>& setStatus,
                    QWidget* busyWindow, Settings* settings = nullptr);
};
