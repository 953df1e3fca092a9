// The application object: the program's identity, and the route of errors that no handler took
// to the start-up error handler.
#pragma once

#include <functional>
#include <QApplication>

class VcError;

class VcApplication : public QApplication {
    Q_OBJECT
public:
    // The installed desktop entry's name, without ".desktop".
    static constexpr char kDesktopEntry[] = "example.vellumcrest.Manager";

    using ErrorHandler = std::function<void(int number, const QString& description)>;

    VcApplication(int& argc, char** argv);

    void setErrorHandler(ErrorHandler handler) { m_handler = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorHandler m_handler;
};
