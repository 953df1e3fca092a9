// Application object with the last-resort error route.
#include "app/VcApplication.h"

#include "base/VcError.h"

VcApplication::VcApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VcApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const VcError& error) {
        if (m_handler)
            m_handler(error.number(), error.description());
    } catch (const std::exception& error) {
        if (m_handler)
            m_handler(ErrorNumber::DatabaseFailure, QString::fromLocal8Bit(error.what()));
    }
    return false;
}
