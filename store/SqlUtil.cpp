// QtSql helpers.
#include "store/SqlUtil.h"

#include "base/TextUtils.h"
#include "base/VcError.h"

#include <QSqlError>

namespace Sql {

VcError errorOf(const QSqlError& error, const QString& context) {
    const QString text = error.text().trimmed();
    const int number = text.contains(QLatin1String("not a database"), Qt::CaseInsensitive)
                           ? ErrorNumber::NotADatabase
                           : ErrorNumber::DatabaseFailure;
    return VcError(number, context.isEmpty() ? text : context + QStringLiteral(": ") + text);
}

QSqlQuery prepare(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw errorOf(query.lastError(), QString());
    return query;
}

void exec(QSqlQuery& query, std::initializer_list<QVariant> values) {
    int i = 0;
    // Text an operator typed can hold lone surrogates (pasted from a damaged source): bound as
    // it is, the engine would swallow the character after each one.
    for (const QVariant& value : values)
        query.bindValue(i++, value.typeId() == QMetaType::QString ? QVariant(wellFormedText(value.toString()))
                                                                  : value);
    if (!query.exec())
        throw errorOf(query.lastError(), QString());
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql, std::initializer_list<QVariant> values) {
    QSqlQuery query = prepare(db, sql);
    exec(query, values);
    return query;
}

} // namespace Sql
