// The agent's counting rules: title cleaning, day texts, idle and lock, midnight and clock changes.
#include "FakeTime.h"

#include "agent/core/SampleMessage.h"
#include "agent/core/TitleRedaction.h"
#include "agent/core/TitleText.h"
#include "agent/core/UsageAccumulator.h"

#include "support/RedactionCases.h"

#include <QtTest>

using namespace vcagent;

Q_DECLARE_METATYPE(std::u16string)
Q_DECLARE_METATYPE(std::string)

class TstAgentUsage : public QObject {
    Q_OBJECT

private slots:
    void cleanText_data() {
        QTest::addColumn<std::u16string>("raw");
        QTest::addColumn<std::string>("clean");
        const auto row = [](const char* tag, const std::u16string& raw, const std::string& clean) {
            QTest::newRow(tag) << raw << clean;
        };
        const auto repeat = [](const auto& piece, int times) {
            std::remove_cvref_t<decltype(piece)> text;
            for (int i = 0; i < times; ++i)
                text += piece;
            return text;
        };
        row("plain", u"Untitled - Notepad", "Untitled - Notepad");
        row("controls removed",
            u"a\tb\r\nc\x7f"
            u"d\x85"
            u"e",
            "abcde");
        row("blanks trimmed", u"  Mail  ", "Mail");
        row("only controls", u"\x01\x02", "");
        row("accents", u"Caf\u00e9 \u20ac", "Caf\xc3\xa9 \xe2\x82\xac");
        row("surrogate pair", u"\U0001F600", "\xf0\x9f\x98\x80");
        row("unpaired surrogate", std::u16string(1, char16_t(0xD800)) + u"x", "\xef\xbf\xbdx");
        // Characters that reorder or hide text make two titles look alike.
        row("bidi controls", u"a\u202Eb\u2066c\u200Fd\u061Ce", "abcde");
        row("line separators", u"a\u2028b\u2029c", "abc");
        row("zero width", u"\uFEFFa\u200Bb\u200Dc\u2060d", "abcd");
        row("noncharacters", std::u16string(u"a\uFDD0b\uFFFEc\uFFFF") + u"\U0001FFFF", "abc");
        // Long titles are cut at 1,024 characters, never inside a pair, not dropped.
        row("long, outside the BMP", repeat(std::u16string(u"\U0001F600"), 1030),
            repeat(std::string("\xf0\x9f\x98\x80"), 1024));
        row("long", std::u16string(5000, u'x'), std::string(1024, 'x'));
    }

    void cleanText() {
        QFETCH(std::u16string, raw);
        QTEST(vcagent::cleanText(raw), "clean");
    }

    void dayText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ordinary") << "2026-12-06" << true;
        QTest::newRow("leap day") << "2024-02-29" << true;
        QTest::newRow("no such day") << "2026-02-29" << false;
        QTest::newRow("short month") << "2026-1-06" << false;
        QTest::newRow("with time") << "2026-12-06 10:00:00" << false;
        QTest::newRow("letters") << "abcd-ef-gh" << false;
        QTest::newRow("empty") << "" << false;
    }

    void dayText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto parsed = parseDayText(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(QString::fromStdString(vcagent::dayText(*parsed)), text);
    }

    // Ten samples a second apart, with the given idle time, lock state and spacing.
    void samplesCount_data() {
        QTest::addColumn<qint64>("idle");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<qint64>("spacing");
        QTest::addColumn<qint64>("interval"); // what the helper says passed
        QTest::addColumn<int>("samples");
        QTest::addColumn<qint64>("counted");
        const auto row = [](const char* tag, qint64 idle, bool locked, qint64 spacing, qint64 interval,
                            int samples, qint64 counted) {
            QTest::newRow(tag) << idle << locked << spacing << interval << samples << counted;
        };
        row("active", 0, false, 1000, 1000, 10, 10000);
        row("idle at the limit", 300000, false, 1000, 1000, 10, 10000);
        row("idle past the limit", 300001, false, 1000, 1000, 10, 0);
        row("locked", 0, true, 1000, 1000, 10, 0);
        // A helper that stalls is not credited with the gap, only with one second per sample.
        row("stalled helper", 0, false, 60000, 60000, 10, 10000);
        row("fast samples", 0, false, 500, 500, 10, 5000);
        // A clock set back counts each sample as its interval, never a negative time.
        row("clock going back", 0, false, -5000, 1000, 10, 10000);
        // Messages with one arrival time cannot credit more than the wall clock gave.
        row("equal timestamps", 0, false, 0, 1000, 100, 1000);
        row("flood, forged interval", 0, false, 10, 3600000, 1000, 1000 + 999 * 10);
    }

    void samplesCount() {
        QFETCH(qint64, idle);
        QFETCH(bool, locked);
        QFETCH(qint64, spacing);
        QFETCH(qint64, interval);
        QFETCH(int, samples);
        const FakeCalendar calendar(0);
        UsageAccumulator usage(calendar, 300000);
        Millis t = at(2026, 6, 1, 12, 0, 0);
        for (int i = 0; i < samples; ++i, t += spacing)
            usage.record(1, Sample{"ann", "Editor", idle, locked, interval}, t);
        Millis total = 0;
        for (const auto& [key, time] : usage.take())
            total += time;
        QTEST(qint64(total), "counted");
    }

    void queuedSamplesCountInFull() {
        // The service stalled for ten seconds; the helper's ten samples arrive within
        // ten milliseconds and each still stands for its second.
        const FakeCalendar calendar(0);
        UsageAccumulator usage(calendar, 300000);
        const Millis t = at(2026, 6, 1, 12, 0, 0);
        usage.record(1, Sample{"ann", "Editor", 0, false, 1000}, t);
        for (int i = 0; i < 10; ++i)
            usage.record(1, Sample{"ann", "Editor", 0, false, 1000}, t + 10000 + i);
        QCOMPARE(usage.take().at(UsageKey{day(2026, 6, 1), "ann", "Editor"}), Millis(11000));
    }

    void midnightSplitsASample() {
        const Millis offset = 2 * kHour;
        const FakeCalendar calendar(offset);
        UsageAccumulator usage(calendar, 300000);
        for (int second = 0; second < 4; ++second)
            usage.record(7, Sample{"ann", "Editor", 0, false},
                         at(2026, 6, 1, 23, 59, 58 + second, offset) + 500);
        const UsageMap taken = usage.take();
        QCOMPARE(taken.size(), std::size_t(2));
        QCOMPARE(taken.at(UsageKey{day(2026, 6, 1), "ann", "Editor"}), Millis(2500));
        QCOMPARE(taken.at(UsageKey{day(2026, 6, 2), "ann", "Editor"}), Millis(1500));
    }

    // A whole day of samples in a zone that moves its clock: the day holds exactly its own length.
    void daylightSavingDays_data() {
        QTest::addColumn<qint64>("change");      // UTC instant of the clock change
        QTest::addColumn<qint64>("offsetAfter"); // offset from then on (before: one hour)
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("dayOfMonth");
        QTest::addColumn<qint64>("dayLength");
        // Clocks go forward at 02:00 local on 29 March: a 23-hour day.
        QTest::newRow("spring") << qint64(at(2026, 3, 29, 1, 0, 0)) << qint64(2 * kHour) << 3 << 29
                                << qint64(23 * kHour);
        // Clocks go back at 03:00 local on 25 October (offset two hours until then): a 25-hour day.
        QTest::newRow("autumn") << qint64(at(2026, 10, 25, 1, 0, 0)) << qint64(1 * kHour) << 10 << 25
                                << qint64(25 * kHour);
    }

    void daylightSavingDays() {
        QFETCH(qint64, change);
        QFETCH(qint64, offsetAfter);
        QFETCH(int, month);
        QFETCH(int, dayOfMonth);
        QFETCH(qint64, dayLength);
        const Millis offsetBefore = offsetAfter == 2 * kHour ? kHour : 2 * kHour;
        const FakeCalendar calendar(offsetBefore, {{change, offsetAfter}});
        const Day target = day(2026, static_cast<unsigned>(month), static_cast<unsigned>(dayOfMonth));
        QCOMPARE(calendar.startOf(target + std::chrono::days{1}) - calendar.startOf(target), dayLength);

        UsageAccumulator usage(calendar, 300000);
        const Millis from = calendar.startOf(target) - kHour;
        const Millis to = calendar.startOf(target + std::chrono::days{1}) + kHour;
        for (Millis t = from + 1000; t <= to; t += 1000)
            usage.record(1, Sample{"ann", "Editor", 0, false}, t);
        const UsageMap taken = usage.take();
        QCOMPARE(taken.at(UsageKey{target, "ann", "Editor"}), dayLength);
        QCOMPARE(taken.at(UsageKey{target - std::chrono::days{1}, "ann", "Editor"}), kHour);
        QCOMPARE(taken.at(UsageKey{target + std::chrono::days{1}, "ann", "Editor"}), kHour);
    }

    void sessionsCountSeparately() {
        const FakeCalendar calendar(0);
        UsageAccumulator usage(calendar, 300000);
        const Millis t = at(2026, 6, 1, 9, 0, 0);
        usage.record(1, Sample{"ann", "Mail", 0, false}, t);
        usage.record(2, Sample{"bob", "Mail", 0, false}, t + 300);
        usage.record(1, Sample{"ann", "Mail", 0, false}, t + 1000);
        usage.record(2, Sample{"bob", "Mail", 0, false}, t + 1300);
        // After a session ends its next sample does not claim the time in between.
        usage.endSession(1);
        usage.record(1, Sample{"ann", "Mail", 0, false}, t + 2000);
        // Nothing in front, or no user: nothing to count.
        usage.record(2, Sample{"bob", "", 0, false}, t + 2300);
        usage.record(2, Sample{"", "Mail", 0, false}, t + 3300);
        const UsageMap taken = usage.take();
        QCOMPARE(taken.at(UsageKey{day(2026, 6, 1), "ann", "Mail"}), Millis(3000));
        QCOMPARE(taken.at(UsageKey{day(2026, 6, 1), "bob", "Mail"}), Millis(2000));
        QCOMPARE(taken.size(), std::size_t(2));
    }

    void sampleMessageRoundTrip() {
        SampleMessage sent;
        sent.idleMillis = 0x12345678;
        sent.intervalMillis = 0x9ABCDEF0;
        sent.noInput = true;
        sent.title = u"Caf\u00e9 \U0001F600";
        const std::vector<unsigned char> bytes = sent.encode();
        const auto got = SampleMessage::decode(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        QVERIFY(got);
        QCOMPARE(got->idleMillis, sent.idleMillis);
        QCOMPARE(got->intervalMillis, sent.intervalMillis);
        QCOMPARE(got->noInput, true);
        QVERIFY(got->title == sent.title);

        // A title longer than a message may carry is cut by the sender, never refused.
        sent.title = std::u16string(5000, u'x');
        const std::vector<unsigned char> longBytes = sent.encode();
        QCOMPARE(longBytes.size(), SampleMessage::kMaxBytes);
        const auto cut = SampleMessage::decode(
            std::string_view(reinterpret_cast<const char*>(longBytes.data()), longBytes.size()));
        QVERIFY(cut);
        QCOMPARE(cut->title.size(), SampleMessage::kMaxTitleUnits);
    }

    // Whatever reaches the pipe is outside data: nothing malformed passes as a sample.
    void hostileSampleMessages_data() {
        QTest::addColumn<QByteArray>("bytes");
        SampleMessage good;
        good.title = u"Mail";
        const std::vector<unsigned char> encoded = good.encode();
        const QByteArray valid(reinterpret_cast<const char*>(encoded.data()),
                               static_cast<qsizetype>(encoded.size()));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only, cut") << valid.left(15);
        QTest::newRow("title cut short") << valid.left(valid.size() - 1);
        QTest::newRow("trailing bytes") << valid + QByteArray("xx");
        QTest::newRow("other kind") << QByteArray(valid).replace(3, 1, "1");
        QTest::newRow("unknown flag") << QByteArray(valid).replace(12, 1, "\x02");
        QTest::newRow("length past the limit") << valid.left(14) + "\xff\xff" + QByteArray(2 * 0xFFFF, 'a');
    }

    void hostileSampleMessages() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!SampleMessage::decode(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    }

    // The pattern language the console shares: rules tried in order, anchored,
    // letter case folded as docs/privacy.md lists.
    void redaction_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("stored");
        // The console's matcher reads the same table (tst_privacy).
        const QList<RedactionCase> cases = redactionCases();
        QVERIFY(!cases.isEmpty());
        for (const RedactionCase& c : cases)
            QTest::newRow(qPrintable(c.name)) << c.rules << c.title << c.stored;
    }

    void redaction() {
        QFETCH(QStringList, lines);
        QFETCH(QString, title);
        std::vector<std::string> rules;
        for (const QString& line : lines)
            rules.push_back(line.toStdString());
        const TitleRedaction redaction = TitleRedaction::parse(rules);
        QVERIFY(redaction.rejected().empty());
        QTEST(QString::fromStdString(redaction.apply(title.toStdString())), "stored");
    }

    void redactionRules() {
        const TitleRedaction redaction =
            TitleRedaction::parse({"", "*", "***=(all)", "?*=(all)", std::string(1025, 'x') + "=(long)",
                                   std::string(1024, 'x') + "=(fits)", "*Inbox*=", "*Inbox*=\t", "ok*=(ok)"});
        QCOMPARE(redaction.rules().size(), std::size_t(2));
        QCOMPARE(redaction.rules()[1].replacement, std::string("(ok)"));
        std::vector<std::string> rejected;
        for (const auto& line : redaction.rejected())
            rejected.push_back(line.reason);
        QCOMPARE(rejected,
                 (std::vector<std::string>{
                     "empty pattern", "the pattern matches every title", "the pattern matches every title",
                     "the pattern is wildcards alone with a *: it matches nearly every title",
                     "pattern longer than 1,024 characters", "empty replacement", "empty replacement"}));
    }
};

QTEST_APPLESS_MAIN(TstAgentUsage)
#include "tst_agentusage.moc"
