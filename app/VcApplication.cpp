// Application object with the last-resort error route.
#include "app/VcApplication.h"

#include "base/VcError.h"
#include "base/Version.h"

VcApplication::VcApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The settings file's place (~/.config/Vellumcrest/Vellumcrest.ini) and, on X11, the window's
    // class, which the desktop entry's StartupWMClass names; on Wayland the desktop entry's name.
    setOrganizationName(QStringLiteral("Vellumcrest"));
    setApplicationName(QStringLiteral("Vellumcrest"));
    setApplicationVersion(QString::fromLatin1(Version::kText));
    setDesktopFileName(QString::fromLatin1(kDesktopEntry));
}

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
