// The navigation bar's property pages: filling, applying in order, refused values, Browse.
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"
#include "verticalmenu/pages/Menues.h"
#include "verticalmenu/pages/MenuItemObjects.h"
#include "verticalmenu/pages/MenuObjects.h"
#include "verticalmenu/VerticalMenu.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {
void edit(QWidget& page, const char* name, const QString& text) {
    auto* field = page.findChild<QLineEdit*>(QString::fromLatin1(name));
    QVERIFY2(field, name);
    field->selectAll();
    QTest::keyClicks(field, text);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
}

QString field(QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

struct Fixture {
    ScriptedFeedback feedback;
    VerticalMenu bar{feedback, Captions::kProduct};
    Fixture() {
        bar.setAnimationDelays(std::chrono::microseconds(0), std::chrono::microseconds(0));
        bar.resize(110, 500);
        bar.show();
        bar.loadMainWindowBar();
    }
};
} // namespace

class TstPropertyPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void pagesShowTheControl() {
        Fixture f;
        f.bar.setMenuCur(2);
        f.bar.setMenuItemCur(2);
        Menues menues(f.feedback);
        MenuObjects menuObjects;
        MenuItemObjects itemObjects(f.feedback);
        menues.setSelectedControls({&f.bar});
        menuObjects.setSelectedControls({&f.bar});
        itemObjects.setSelectedControls({&f.bar});
        QCOMPARE(field(menues, "txtMenusMax"), QStringLiteral("4"));
        QCOMPARE(field(menues, "txtMenuCur"), QStringLiteral("2"));
        QCOMPARE(field(menuObjects, "txtMenuItemsMax"), QStringLiteral("2"));
        QCOMPARE(field(menuObjects, "txtMenuCaption"), QStringLiteral("Options"));
        QCOMPARE(field(itemObjects, "txtMenuItemCaption"), QStringLiteral("Security"));
        QVERIFY(!itemObjects.picture().isNull());
        QVERIFY(!menues.Changed());
        edit(menues, "txtMenuStartup", QStringLiteral("3"));
        QVERIFY(menues.Changed());
    }

    void menuesAppliesAroundARefusedValue() {
        Fixture f;
        Menues page(f.feedback);
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuStartup", QStringLiteral("2"));
        edit(page, "txtMenusMax", QStringLiteral("7"));
        edit(page, "txtMenuCur", QStringLiteral("3"));
        page.ApplyChanges();
        QCOMPARE(f.feedback.messages.size(), 1);
        QCOMPARE(f.feedback.messages[0].text, QStringLiteral("MenusMax must be between 0 and 6"));
        QCOMPARE(f.bar.MenuStartup(), 2);
        QCOMPARE(f.bar.MenusMax(), 4);
        QCOMPARE(f.bar.MenuCur(), 3);
        QVERIFY(!page.Changed());
    }

    void menuesOrderMatters() {
        // MenusMax grows before MenuCur opens the new menu.
        Fixture f;
        Menues page(f.feedback);
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenusMax", QStringLiteral("5"));
        edit(page, "txtMenuCur", QStringLiteral("5"));
        edit(page, "txtMenuStartup", QStringLiteral("not a number"));
        page.ApplyChanges();
        QCOMPARE(f.bar.MenuCur(), 5);
        QCOMPARE(f.bar.MenuCaption(), QStringLiteral("Menu5"));
        QCOMPARE(f.bar.MenuStartup(), 1);
        QCOMPARE(f.feedback.messages.size(), 0);
    }

    void menuObjectsAppliesAroundARefusedValue() {
        Fixture f;
        MenuObjects page;
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuItemsMax", QStringLiteral("2"));
        edit(page, "txtMenuItemCur", QStringLiteral("3"));
        edit(page, "txtMenuCaption", QStringLiteral("Start"));
        page.ApplyChanges();
        QCOMPARE(f.feedback.messages.size(), 1);
        QCOMPARE(f.feedback.messages[0].text,
                 QStringLiteral("The current item must be between 0 and MenuItemsMax"));
        QCOMPARE(f.bar.MenuItemsMax(), 2);
        QCOMPARE(f.bar.MenuItemCur(), 1);
        QCOMPARE(f.bar.MenuCaption(), QStringLiteral("Start"));
        QCOMPARE(f.bar.menus().Caption(1), QStringLiteral("Start"));
    }

    void menuItemObjectsAppliesToTheCurrentItem() {
        Fixture f;
        f.bar.setMenuItemCur(3);
        MenuItemObjects page(f.feedback);
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuItemCaption", QStringLiteral("Report"));
        edit(page, "txtMenuItemKey", QStringLiteral("report"));
        edit(page, "txtMenuItemTag", QStringLiteral("t"));
        page.ApplyChanges();
        const MenuItem* item = f.bar.menus().Item(1)->MenuItemItem(3);
        QCOMPARE(item->Caption(), QStringLiteral("Report"));
        QCOMPARE(item->Key(), QStringLiteral("report"));
        QCOMPARE(item->Tag(), QStringLiteral("t"));
        QVERIFY(!item->Button().value<QImage>().isNull());
        QCOMPARE(f.bar.menus().Item(1)->MenuItemItem(2)->Caption(), QStringLiteral("Report Criteria"));
    }

    void browse_data() {
        QTest::addColumn<int>("answer"); // 0 cancel, 1 a picture, 2 not a picture
        QTest::newRow("cancelled") << 0;
        QTest::newRow("picture") << 1;
        QTest::newRow("not a picture") << 2;
    }
    void browse() {
        QFETCH(int, answer);
        Fixture f;
        MenuItemObjects page(f.feedback);
        page.setSelectedControls({&f.bar});
        const QImage before = page.picture();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new.ico"));
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::magenta);
        QVERIFY(icon.save(path, "ICO"));
        const QString text = dir.filePath(QStringLiteral("text.ico"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        if (answer == 1)
            f.feedback.fileAnswers << path;
        else if (answer == 2)
            f.feedback.fileAnswers << text;

        page.findChild<QPushButton*>(QStringLiteral("cmdBrowse"))->click();

        QCOMPARE(f.feedback.fileDialogs.size(), 1);
        const Feedback::FileDialog& dialog = f.feedback.fileDialogs[0];
        QCOMPARE(dialog.title, QStringLiteral("Open Picture (bmp)"));
        QCOMPARE(dialog.filter, QStringLiteral("IconFiles(*.ico)|*.ico"));
        QCOMPARE(dialog.initialName, QStringLiteral("*.ico"));
        QCOMPARE(dialog.defaultSuffix, QStringLiteral("bmp"));
        if (answer == 1) {
            QVERIFY(page.Changed());
            QCOMPARE(page.picture().pixel(5, 5), QColor(Qt::magenta).rgb());
            page.ApplyChanges();
            QCOMPARE(f.bar.MenuItemIcon().pixel(5, 5), QColor(Qt::magenta).rgb());
        } else {
            QVERIFY(!page.Changed());
            QCOMPARE(page.picture(), before);
        }
    }

    void viewDetails() {
        Fixture f;
        Menues page(f.feedback);
        page.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions().first()->trigger();
        QCOMPARE(f.feedback.messages.size(), 1);
        QCOMPARE(f.feedback.messages[0].text, QStringLiteral("Add 'View Details' button code."));
        QCOMPARE(f.feedback.messages[0].buttons, Feedback::Buttons::Ok);
    }

    void textToNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -999 for refused
        QTest::newRow("plain") << "4" << 4;
        QTest::newRow("spaces") << " 3 " << 3;
        QTest::newRow("half to even down") << "2.5" << 2;
        QTest::newRow("half to even up") << "3.5" << 4;
        QTest::newRow("empty") << "" << -999;
        QTest::newRow("word") << "abc" << -999;
        QTest::newRow("too large") << "3000000000" << -999;
    }
    void textToNumber() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto value = PropertyPage::toLong(text);
        QCOMPARE(value.value_or(-999), expected);
    }
};

QTEST_MAIN(TstPropertyPages)
#include "tst_propertypages.moc"
