// The settings codec, the Boolean conversion and the small text helpers.
#include "base/Settings.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "base/Win1252.h"

#include <QtTest>

class TstTextUtils : public QObject {
    Q_OBJECT
private slots:
    void base64KnownValues_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("encoded");
        const auto row = [](const char* tag, const QString& plain, const QString& encoded) {
            QTest::newRow(tag) << plain << encoded;
        };
        row("empty", "", "");
        row("one byte", "f", "Zg==");
        row("two bytes", "fo", "Zm8=");
        row("three bytes", "foo", "Zm9v");
        row("True", "True", "VHJ1ZQ==");
        row("False", "False", "RmFsc2U=");
        row("digit 1", "1", "MQ==");
        // The trade mark sign is byte 153 (0x99) in Windows-1252.
        row("windows-1252", QString(QChar(0x2122)), "mQ==");
    }

    void base64KnownValues() {
        QFETCH(QString, plain);
        QFETCH(QString, encoded);
        QCOMPARE(Base64Encode(plain), encoded);
        QCOMPARE(Base64Decode(encoded), plain);
    }

    void base64RoundTripsEveryByte() {
        QString all;
        for (int b = 1; b < 256; ++b)
            all.append(Win1252::toChar(static_cast<unsigned char>(b)));
        for (int length = 0; length <= all.size(); length += 17) {
            const QString text = all.left(length);
            QCOMPARE(Base64Decode(Base64Encode(text)), text); // 255 = 15 * 17: the last is all of them
        }
        QCOMPARE(Win1252::decode(Win1252::encode(all)), all);
    }

    void tolerantDecoder_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QString& input, const QString& expected) {
            QTest::newRow(tag) << input << expected;
        };
        // An incomplete last group produces nothing.
        row("short last group", "Zm9vYg", "foo");
        row("three characters only", "Zm9", "");
        // A character outside the alphabet counts as a zero sextet and shifts what follows.
        row("blank inside", "Zm 9v", "f`=");
        // The plain word True is not Base64: it decodes to unrelated characters.
        row("plain True", "True",
            QString(Win1252::toChar(0x4e)) + Win1252::toChar(0xbb) + Win1252::toChar(0x9e));
        // NUL bytes from padding end the text.
        row("padding cut", "AAAA", "");
    }

    void tolerantDecoder() {
        QFETCH(QString, input);
        QTEST(Base64Decode(input), "expected");
    }

    void textToBoolean_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 type mismatch
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("true lower") << "true" << 1;
        QTest::newRow("FALSE") << "FALSE" << 0;
        QTest::newRow("digit 1") << "1" << 1;
        QTest::newRow("digit 0") << "0" << 0;
        QTest::newRow("negative") << "-1" << 1;
        QTest::newRow("fraction") << "0.5" << 1;
        QTest::newRow("blanks around") << " True " << 1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("word") << "Yes" << -1;
        QTest::newRow("nan") << "nan" << -1;
        QTest::newRow("inf") << "inf" << -1;
        QTest::newRow("-inf") << "-inf" << -1;
        QTest::newRow("decoded garbage") << Base64Decode("True") << -1;
    }

    void textToBoolean() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        if (expected < 0) {
            try {
                ::textToBoolean(text);
                QFAIL("no error raised");
            } catch (const VcError& error) {
                QCOMPARE(error.number(), ErrorNumber::TypeMismatch);
            }
            return;
        }
        QCOMPARE(::textToBoolean(text), expected == 1);
    }

    void blanking() {
        const QString text = "Bob's 'big' \"deal\"";
        QCOMPARE(BlankQuotes(text), "Bob s  big   deal ");
        QCOMPARE(BlankDoubleQuotes(text), "Bob's 'big'  deal ");
    }

    void visibleControls_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QString("Inbox - Mail <b>") << "Inbox - Mail <b>";
        QTest::newRow("C0 and DEL") << QString::fromUtf16(u"a\u0001\t\r\n\u007f")
                                    << QString::fromUtf16(u"a\u2401\u2409\u240d\u240a\u2421");
        QTest::newRow("C1") << QString::fromUtf16(u"x\u0085y") << QString::fromUtf16(u"x\ufffdy");
        QTest::newRow("pair kept") << QString::fromUtf16(u"\U0001F600") << QString::fromUtf16(u"\U0001F600");
        QTest::newRow("lone halves") << QString(QChar(0xD83D)) + "a" + QChar(0xDE00)
                                     << QString::fromUtf16(u"\ufffda\ufffd");
    }

    void visibleControls() {
        QFETCH(QString, text);
        QTEST(::visibleControls(text), "shown");
    }

    void settingsNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("plain") << "1000" << 1000 << 0;
        QTest::newRow("negative") << "-240" << -240 << 0;
        QTest::newRow("half to even down") << "2.5" << 2 << 0;
        QTest::newRow("half to even up") << "3.5" << 4 << 0;
        QTest::newRow("letters") << "abc" << 0 << ErrorNumber::TypeMismatch;
        QTest::newRow("empty") << "" << 0 << ErrorNumber::TypeMismatch;
        QTest::newRow("too large") << "1e12" << 0 << ErrorNumber::TypeMismatch;
        QTest::newRow("infinite") << "inf" << 0 << ErrorNumber::TypeMismatch;
        QTest::newRow("not a number") << "nan" << 0 << ErrorNumber::TypeMismatch;
    }

    void settingsNumbers() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(int, error);
        try {
            QCOMPARE(settingsTextToInt(text), expected);
            QCOMPARE(error, 0);
        } catch (const VcError& e) {
            QCOMPARE(e.number(), error);
        }
    }
};

QTEST_APPLESS_MAIN(TstTextUtils)
#include "tst_textutils.moc"
