// Modal dialogs for tests: records each one and lets the test drive or answer it.
#pragma once

#include "widgets/DialogRunner.h"

#include <functional>
#include <QStringList>

class ScriptedDialogRunner : public DialogRunner {
public:
    int run(QDialog& dialog) override;

    // Runs each dialog in place of showing it and returns its result; without one the
    // dialog is shown modally, as on the desktop (dialogs that close themselves, like the
    // scan and the report generation, then run their work).
    std::function<int(QDialog&)> onRun;
    // objectName of every dialog run, in order.
    QStringList shown;
};
