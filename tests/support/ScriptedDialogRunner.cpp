// Modal dialogs for tests.
#include "support/ScriptedDialogRunner.h"

#include <QDialog>

int ScriptedDialogRunner::run(QDialog& dialog) {
    shown.append(dialog.objectName());
    return onRun ? onRun(dialog) : dialog.exec();
}
