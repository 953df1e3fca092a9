// The export command: save dialog, busy pointer, and the hand-over to the export itself.
#include "export/ExportCommand.h"

#include "base/Captions.h"
#include "base/FileDialogMemory.h"
#include "base/VcError.h"
#include "export/DataExport.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace {

// Lifts the busy pointer while a question or message waits for the operator: the pointer
// belongs over the busy window, not over a box that expects a click.
class PointerFreeFeedback : public Feedback {
public:
    explicit PointerFreeFeedback(Feedback& inner) : m_inner(inner) {}

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override {
        Lifted lifted;
        return m_inner.message(text, title, icon, buttons);
    }
    void beep() override { m_inner.beep(); }
    std::optional<QString> saveFileName(const FileDialog& dialog) override {
        Lifted lifted;
        return m_inner.saveFileName(dialog);
    }
    std::optional<QString> openFileName(const FileDialog& dialog) override {
        Lifted lifted;
        return m_inner.openFileName(dialog);
    }
    bool print(QPrinter& printer) override {
        Lifted lifted;
        return m_inner.print(printer);
    }

private:
    struct Lifted {
        Lifted() { QApplication::restoreOverrideCursor(); }
        ~Lifted() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        Lifted(const Lifted&) = delete;
        Lifted& operator=(const Lifted&) = delete;
    };
    Feedback& m_inner;
};

} // namespace

Feedback::FileDialog ExportCommand::fileDialog() {
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Export Vellumcrest Data...");
    dialog.initialName = QStringLiteral("Vellumcrest Data.mdb");
    dialog.filter = QStringLiteral("All Files (*.*)|*.*|Access Databases (*.mdb)|*.mdb");
    dialog.defaultSuffix = QStringLiteral("mdb");
    // The dialog's own question would promise to replace the file; the export adds to it, and
    // asks that question itself.
    dialog.confirmOverwrite = false;
    return dialog;
}

QString ExportCommand::addToExistingQuestion(const QString& path) {
    return QStringLiteral("\"%1\" already exists. Add the days it lacks to it? The rows it holds stay as "
                          "they are.")
        .arg(QDir::toNativeSeparators(path));
}

void ExportCommand::run(Feedback& feedback, ManagerDatabase& database, std::optional<QDate> from,
                        std::optional<QDate> to, const std::function<void(const QString&)>& setStatus,
                        QWidget* busyWindow, Settings* settings) {
    Feedback::FileDialog dialog = fileDialog();
    FileDialogMemory memory(settings, QStringLiteral("Export"));
    const QString name = dialog.initialName;
    memory.recall(dialog);
    dialog.initialName = name; // the system's name, in the last folder
    const std::optional<QString> path = feedback.saveFileName(dialog);
    if (!path || path->isEmpty())
        return;
    memory.remember(dialog, *path);
    if (QFileInfo::exists(*path) &&
        feedback.message(addToExistingQuestion(*path), Captions::titled(QStringLiteral(" Data Export")),
                         Feedback::Icon::Question, Feedback::Buttons::YesNo) != Feedback::Answer::Yes)
        return;
    WaitCursor busy(busyWindow);
    PointerFreeFeedback pointerFree(feedback);
    DataExport exporter(pointerFree, database);
    const std::optional<QString> status = exporter.ExportData(*path, from, to);
    if (!status)
        return;
    try {
        recordExport(database, *path, from, to, exporter.rowsAdded());
    } catch (const VcError& error) {
        pointerFree.message(QStringLiteral("The data was exported to ") + *path +
                                QStringLiteral(", but it could not be accounted for: ") + error.description(),
                            fileDialog().title, Feedback::Icon::Warning, Feedback::Buttons::Ok);
    }
    if (setStatus)
        setStatus(*status);
}
