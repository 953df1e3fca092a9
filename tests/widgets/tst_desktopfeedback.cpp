// Desktop message boxes show the text they are given as it is.
#include "widgets/DesktopFeedback.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TstDesktopFeedback : public QObject {
    Q_OBJECT
private slots:
    void markupIsShownNotInterpreted();
};

void TstDesktopFeedback::markupIsShownNotInterpreted() {
    const QString text = QStringLiteral("<b>WS001</b> <img src=\"/etc/passwd\"> could not be read");
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        format = box->textFormat();
        shown = box->text();
        box->accept();
    });
    DesktopFeedback feedback;
    feedback.message(text, QStringLiteral("Title"), Feedback::Icon::Critical, Feedback::Buttons::Ok);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, text);
}

QTEST_MAIN(TstDesktopFeedback)
#include "tst_desktopfeedback.moc"
