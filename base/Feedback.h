// The one way the console talks to the operator outside its own windows: message boxes,
// the beep, file dialogs and the print dialog. Injected, so tests can script the answers.
#pragma once

#include <optional>
#include <QString>

class QPrinter;

class Feedback {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct FileDialog {
        QString title;
        QString directory;
        QString initialName;
        // Filter in the console's own form: description|pattern pairs joined by '|',
        // e.g. "All Files (*.*)|*.*|Access Databases (*.mdb)|*.mdb".
        QString filter;
        QString defaultSuffix; // without the dot; appended when the chosen name has none
        // The description of the filter entry to start with ("PDF Files (*.pdf)"); the first
        // when empty.
        QString selectedFilter;
        bool confirmOverwrite = false;
    };

    virtual ~Feedback() = default;

    virtual Answer message(const QString& text, const QString& title, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;
    virtual void beep() = 0;
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<QString> saveFileName(const FileDialog& dialog) = 0;
    virtual std::optional<QString> openFileName(const FileDialog& dialog) = 0;
    // Shows the print dialog for the printer; true when the operator chose to print.
    virtual bool print(QPrinter& printer) = 0;
};
