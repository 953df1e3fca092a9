// The one SQLite layer: statements that carry the engine's errors, units that nest as savepoints.
#include "base/VcError.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList names(FileDatabase& db) {
    QStringList result;
    SqlStatement rows(db, "SELECT Name FROM Items ORDER BY rowid");
    while (rows.step())
        result << rows.text(0);
    return result;
}

void add(FileDatabase& db, const char* name) {
    SqlStatement insert(db, "INSERT INTO Items (Name) VALUES (?)");
    insert.bindText(1, QByteArray(name));
    insert.run();
}
} // namespace

class TstSql : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_connection.reset(); }
    void unitsNest_data();
    void unitsNest();
    void failedCommitRollsBack();
    void errorsCarryTheEnginesMessage_data();
    void errorsCarryTheEnginesMessage();
    void notADatabaseIsToldApart();
    void statementIsReusableAfterAFailedStep();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<FileDatabase> m_connection;
    FileDatabase& db() const { return *m_connection; }
};

void TstSql::init() {
    QFile::remove(m_dir.filePath("t.db"));
    m_connection = std::make_unique<FileDatabase>(m_dir.filePath("t.db"), FileDatabase::Access::Create);
    db().exec("CREATE TABLE Items (Name TEXT UNIQUE)");
}

void TstSql::unitsNest_data() {
    QTest::addColumn<QString>("inner"); // commit, rollback, or leave (the guard goes out of scope)
    QTest::addColumn<QString>("outer");
    QTest::addColumn<QStringList>("kept");
    const QStringList both{"outer", "inner"};
    QTest::newRow("both committed") << "commit"
                                    << "commit" << both;
    QTest::newRow("inner rolled back alone") << "rollback"
                                             << "commit" << QStringList{"outer"};
    QTest::newRow("inner left undone alone") << "leave"
                                             << "commit" << QStringList{"outer"};
    QTest::newRow("outer rollback takes the committed inner") << "commit"
                                                              << "rollback" << QStringList{};
    QTest::newRow("outer left takes everything") << "commit"
                                                 << "leave" << QStringList{};
}

void TstSql::unitsNest() {
    QFETCH(QString, inner);
    QFETCH(QString, outer);
    QFETCH(QStringList, kept);
    {
        SqlTransaction outerUnit(db());
        QVERIFY(!outerUnit.isSavepoint());
        add(db(), "outer");
        {
            SqlTransaction innerUnit(db());
            QVERIFY(innerUnit.isSavepoint());
            add(db(), "inner");
            if (inner == "commit")
                innerUnit.commit();
            else if (inner == "rollback")
                innerUnit.rollback();
        }
        QVERIFY(db().inTransaction());
        if (outer == "commit")
            outerUnit.commit();
        else if (outer == "rollback")
            outerUnit.rollback();
    }
    QVERIFY(!db().inTransaction());
    QCOMPARE(names(db()), kept);
}

void TstSql::failedCommitRollsBack() {
    // A deferred constraint is checked at COMMIT, so the commit itself fails.
    db().exec("PRAGMA foreign_keys = ON; CREATE TABLE Uses (Item TEXT REFERENCES Items (Name) "
              "DEFERRABLE INITIALLY DEFERRED)");
    SqlTransaction unit(db());
    add(db(), "kept only if committed");
    db().exec("INSERT INTO Uses VALUES ('nothing')");
    try {
        unit.commit();
        QFAIL("committed");
    } catch (const VcError& error) {
        QVERIFY2(error.description().contains("FOREIGN KEY"), qPrintable(error.description()));
    }
    QVERIFY(!unit.isOpen());
    QVERIFY(!db().inTransaction());
    QCOMPARE(names(db()), QStringList{});
}

void TstSql::errorsCarryTheEnginesMessage_data() {
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QString>("engineSays");
    QTest::newRow("prepare") << QByteArray("SELECT * FROM Missing") << "no such table: Missing";
    QTest::newRow("step") << QByteArray("INSERT INTO Items VALUES ('a'), ('a')")
                          << "UNIQUE constraint failed";
}

void TstSql::errorsCarryTheEnginesMessage() {
    QFETCH(QByteArray, sql);
    QFETCH(QString, engineSays);
    try {
        SqlStatement statement(db(), sql.constData(), QStringLiteral("Reading the items"));
        statement.step();
        QFAIL("no error");
    } catch (const VcError& error) {
        QCOMPARE(error.number(), ErrorNumber::DatabaseFailure);
        QVERIFY2(error.description().startsWith("Reading the items: "), qPrintable(error.description()));
        QVERIFY2(error.description().contains(engineSays), qPrintable(error.description()));
    }
    QCOMPARE(names(db()), QStringList{});
}

void TstSql::notADatabaseIsToldApart() {
    // Callers offer to replace such a file, so it must not pass for any other failure.
    const QString text = m_dir.filePath("text.db");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    try {
        FileDatabase other(text, FileDatabase::Access::ReadWrite);
        QFAIL("opened");
    } catch (const VcError& error) {
        QCOMPARE(error.number(), ErrorNumber::NotADatabase);
    }
}

void TstSql::statementIsReusableAfterAFailedStep() {
    SqlStatement insert(db(), "INSERT INTO Items (Name) VALUES (?)");
    insert.bindText(1, QByteArray("a"));
    insert.run();
    insert.bindText(1, QByteArray("a"));
    QVERIFY_THROWS_EXCEPTION(VcError, insert.run());
    insert.bindText(1, QByteArray("b"));
    insert.run();
    QCOMPARE(names(db()), (QStringList{"a", "b"}));
}

QTEST_GUILESS_MAIN(TstSql)
#include "tst_sql.moc"
