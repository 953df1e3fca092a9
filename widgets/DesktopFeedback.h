// Feedback for the desktop: QMessageBox, QApplication::beep, QFileDialog, QPrintDialog.
#pragma once

#include "base/Feedback.h"

#include <QPointer>
#include <QWidget>

class DesktopFeedback : public Feedback {
public:
    // Dialogs are owned by the parent when one is set, else by the active window.
    void setParent(QWidget* parent) { m_parent = parent; }

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override;
    std::optional<QString> saveFileName(const FileDialog& dialog) override;
    std::optional<QString> openFileName(const FileDialog& dialog) override;
    bool print(QPrinter& printer) override;

    // "A|*.a|B|*.b" to Qt's "A (*.a);;B (*.b)" form, keeping the descriptions as given.
    static QString qtFilter(const QString& filter);

private:
    QWidget* owner() const;
    QPointer<QWidget> m_parent;
};
