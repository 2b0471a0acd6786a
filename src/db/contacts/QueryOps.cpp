#include "db/contacts/QueryOps.h"

#include "db/contacts/Query.h"
#include "db/engine/Engine.h"
#include "db/engine/FailureReporter.h"

QString StatementFailureText(const QString& engineMessage)
{
    return QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)\r{") + engineMessage +
           QStringLiteral("}");
}

namespace {

bool Open(db::Query* query)
{
    try {
        query->open();
        return true;
    } catch (const db::EngineError& error) {
        db::ReportStatementFailure(query->sql(), StatementFailureText(error.message()));
    }
    return false;
}

} // namespace

bool OpenQuery(const QString& statement, db::Query* query, bool open)
{
    query->close();
    query->clearSql();
    query->setSql(statement);
    return !open || Open(query);
}

bool OpenSearch(const db::ContactSearch& search, db::Query* query)
{
    query->close();
    query->setSearch(search);
    return Open(query);
}

bool ExecQuery(const QString& statement, db::Query* query)
{
    query->close();
    query->clearSql();
    query->setSql(statement);
    try {
        query->execSql();
        return true;
    } catch (const db::EngineError& error) {
        db::ReportStatementFailure(statement, StatementFailureText(error.message()));
    }
    return false;
}

ContactValues CurrentValues(const db::Query& query)
{
    ContactValues v;
    for (const db::ContactColumn& c : db::kContactColumns)
        db::ValueOf(v, c) = query.fieldText(db::ColumnName(c));
    return v;
}

ContactValues ValuesAt(const db::Query& query, int row)
{
    const auto at = [&](const char16_t* name) { return query.text(row, query.fieldIndex(name)); };
    ContactValues v;
    v.telefon = at(u"telefon");
    v.jmeno = at(u"jmeno");
    v.email = at(u"email");
    v.poznamka = at(u"poznamka");
    v.datum = at(u"datum");
    v.organizace = at(u"organizace");
    v.skupina = at(u"skupina");
    v.icq = at(u"icq");
    v.skype = at(u"skype");
    return v;
}
