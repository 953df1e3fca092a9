// Message boxes, labels and tool tips show the text they are given as it is.
#include "widgets/DesktopFeedback.h"
#include "widgets/PlainText.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QtTest>

class TstDesktopFeedback : public QObject {
    Q_OBJECT
private slots:
    void markupIsShownNotInterpreted() {
        const QString text = "<b>WS001</b> <img src=\"/etc/passwd\"> could not be read";
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
        feedback.message(text, "Title", Feedback::Icon::Critical, Feedback::Buttons::Ok);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, text);
    }

    void labelsAndToolTipsShowNamesLiterally() {
        const QString name = "<b>WS001</b>\t<img src=x>";
        QLabel label("<i>before</i>");
        PlainText::show(&label, name);
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QCOMPARE(label.text(), "<b>WS001</b>\u2409<img src=x>");

        const QString tip = PlainText::toolTip(name + "\nWS002: file is not a database");
        QVERIFY(!tip.contains("<b>") && !tip.contains("<img"));
        QVERIFY(tip.contains("&lt;b&gt;WS001&lt;/b&gt;"));
        QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText(),
                 "<b>WS001</b>\u2409<img src=x>\nWS002: file is not a database");
    }
};

QTEST_MAIN(TstDesktopFeedback)
#include "tst_desktopfeedback.moc"
