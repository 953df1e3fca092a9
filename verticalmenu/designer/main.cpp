// verticalmenu-designer: opens a navigation bar design, shows it live, edits and saves it.
#include "verticalmenu/designer/DesignerWindow.h"
#include "verticalmenu/VerticalMenu.h"
#include "widgets/DesktopFeedback.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumcrest Menu Designer"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Edits a VerticalMenu design file."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Design file to open."));
    const QCommandLineOption mainBar(QStringLiteral("main-bar"),
                                     QStringLiteral("Open the main window's bar."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a PNG of the bar and exit."),
                                        QStringLiteral("png"));
    const QCommandLineOption menu(QStringLiteral("menu"), QStringLiteral("Open this menu first."),
                                  QStringLiteral("n"));
    const QCommandLineOption height(QStringLiteral("height"), QStringLiteral("Height of the bar in pixels."),
                                    QStringLiteral("px"));
    parser.addOptions({mainBar, screenshot, menu, height});
    parser.process(app);

    DesktopFeedback feedback;
    DesignerWindow window(feedback);
    feedback.setParent(&window);
    window.control()->setAnimationDelays(std::chrono::microseconds(0), std::chrono::microseconds(0));
    window.show();
    window.control()->setAnimationDelays(std::chrono::microseconds(600), std::chrono::microseconds(5000));
    if (parser.isSet(mainBar))
        window.openMainWindowBar();
    else if (!parser.positionalArguments().isEmpty() &&
             !window.openFile(parser.positionalArguments().first()))
        return 1;
    if (parser.isSet(height))
        window.control()->setFixedHeight(parser.value(height).toInt());
    if (parser.isSet(menu))
        window.control()->setMenuCur(parser.value(menu).toInt());
    if (parser.isSet(screenshot)) {
        window.control()->grab().save(parser.value(screenshot));
        return 0;
    }
    return QApplication::exec();
}
