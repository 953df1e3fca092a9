// Desktop implementation of Feedback.
#include "widgets/DesktopFeedback.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

QWidget* DesktopFeedback::owner() const {
    if (m_parent)
        return m_parent;
    return QApplication::activeWindow();
}

Feedback::Answer DesktopFeedback::message(const QString& text, const QString& title, Icon icon,
                                          Buttons buttons) {
    QMessageBox box(owner());
    box.setWindowTitle(title);
    // Messages carry paths, machine names and database texts: markup in them is shown, never
    // interpreted (Qt would otherwise guess rich text from a leading tag).
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

void DesktopFeedback::beep() {
    QApplication::beep();
}

QString DesktopFeedback::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << (description.contains(QLatin1Char('('))
                    ? description
                    : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

namespace {
void setUp(QFileDialog& dialog, const Feedback::FileDialog& options) {
    dialog.setWindowTitle(options.title);
    dialog.setNameFilters(DesktopFeedback::qtFilter(options.filter).split(QStringLiteral(";;")));
    if (!options.directory.isEmpty())
        dialog.setDirectory(options.directory);
    if (!options.selectedFilter.isEmpty())
        dialog.selectNameFilter(DesktopFeedback::qtFilter(options.selectedFilter + QStringLiteral("|*")));
    if (!options.initialName.isEmpty())
        dialog.selectFile(options.initialName);
    dialog.setDefaultSuffix(options.defaultSuffix);
}
} // namespace

std::optional<QString> DesktopFeedback::saveFileName(const FileDialog& options) {
    QFileDialog dialog(owner());
    setUp(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> DesktopFeedback::openFileName(const FileDialog& options) {
    QFileDialog dialog(owner());
    setUp(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool DesktopFeedback::print(QPrinter& printer) {
    QPrintDialog dialog(&printer, owner());
    return dialog.exec() == QDialog::Accepted;
}
