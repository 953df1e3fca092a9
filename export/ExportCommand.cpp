// The export command: save dialog, busy pointer, and the hand-over to the export itself.
#include "export/ExportCommand.h"

#include "export/DataExport.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QCursor>
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
    dialog.confirmOverwrite = true;
    return dialog;
}

void ExportCommand::run(Feedback& feedback, const ManagerDatabase& database, std::optional<QDate> from,
                        std::optional<QDate> to, const std::function<void(const QString&)>& setStatus,
                        QWidget* busyWindow) {
    const std::optional<QString> path = feedback.saveFileName(fileDialog());
    if (!path || path->isEmpty())
        return;
    WaitCursor busy(busyWindow);
    PointerFreeFeedback pointerFree(feedback);
    DataExport exporter(pointerFree, database);
    const std::optional<QString> status = exporter.ExportData(*path, from, to);
    if (status && setStatus)
        setStatus(*status);
}
