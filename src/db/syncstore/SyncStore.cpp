#include "db/syncstore/SyncStore.h"

#include "db/engine/Columns.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"

#include <sqlite3.h>

namespace db {
namespace {

// The id, then every column of the table in its order.
QByteArray ContactColumns()
{
    return ("z.id, " + ColumnList(QLatin1StringView("z."))).toUtf8();
}

QString Text(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

void Bind(sqlite3_stmt* statement, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void BindValues(sqlite3_stmt* statement, const ContactValues& v)
{
    int i = 0;
    for (const QString* value :
         {&v.telefon, &v.jmeno, &v.email, &v.poznamka, &v.datum, &v.organizace, &v.skupina, &v.icq, &v.skype})
        Bind(statement, ++i, *value);
}

} // namespace

SyncStore::SyncStore(Connection* connection) : m_connection(connection) {}

SyncStore::~SyncStore()
{
    for (sqlite3_stmt* statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
}

sqlite3_stmt* SyncStore::prepare(const char* text)
{
    if (sqlite3_stmt* known = m_statements.value(QByteArray(text)))
        return known;
    sqlite3_stmt* statement = nullptr;
    if (!m_connection->handle() ||
        sqlite3_prepare_v2(m_connection->handle(), text, -1, &statement, nullptr) != SQLITE_OK) {
        m_error = m_connection->handle() ? EngineErrorText(m_connection->handle())
                                         : QStringLiteral("Seznam není otevřen.");
        return nullptr;
    }
    m_statements.insert(QByteArray(text), statement);
    return statement;
}

bool SyncStore::step(sqlite3_stmt* statement)
{
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        m_error = EngineErrorText(m_connection->handle());
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

bool SyncStore::run(const char* text)
{
    sqlite3_stmt* statement = prepare(text);
    return statement && step(statement);
}

bool SyncStore::hasTables()
{
    sqlite3_stmt* statement =
        prepare("select count(*) from sqlite_master where type = 'table' and name = 'sync_karty'");
    if (!statement)
        return false;
    const bool found = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) > 0;
    sqlite3_reset(statement);
    return found;
}

bool SyncStore::ensureTables()
{
    // Made once, together: a file has all of them or none.
    return begin() &&
           ((run("create table if not exists sync_stav (klic text primary key, hodnota text)") &&
             run("create table if not exists sync_karty (href text primary key, etag text, karta blob, "
                 "otisk text, odeslany_otisk text)") &&
             run("create table if not exists sync_vazby (id integer primary key, href text not null)") &&
             run("create index if not exists ix_sync_vazby_href on sync_vazby (href)") && commit()) ||
            (rollback(), false));
}

QString SyncStore::value(const QString& key)
{
    sqlite3_stmt* statement = prepare("select hodnota from sync_stav where klic = ?");
    if (!statement)
        return QString();
    Bind(statement, 1, key);
    const QString found = sqlite3_step(statement) == SQLITE_ROW ? Text(statement, 0) : QString();
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return found;
}

bool SyncStore::setValue(const QString& key, const QString& value)
{
    sqlite3_stmt* statement = prepare("insert or replace into sync_stav (klic, hodnota) values (?, ?)");
    if (!statement)
        return false;
    Bind(statement, 1, key);
    Bind(statement, 2, value);
    return step(statement);
}

QHash<QString, SyncedCard> SyncStore::cards()
{
    // Without the cards themselves: a run's memory does not grow with what the server keeps.
    QHash<QString, SyncedCard> all;
    sqlite3_stmt* statement = prepare("select href, etag, otisk, odeslany_otisk from sync_karty");
    if (!statement)
        return all;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        SyncedCard c;
        c.href = Text(statement, 0);
        c.etag = Text(statement, 1);
        c.fingerprint = Text(statement, 2);
        c.pendingFingerprint = Text(statement, 3);
        all.insert(c.href, c);
    }
    sqlite3_reset(statement);
    return all;
}

QByteArray SyncStore::cardData(const QString& href)
{
    sqlite3_stmt* statement = prepare("select karta from sync_karty where href = ?");
    if (!statement)
        return QByteArray();
    Bind(statement, 1, href);
    QByteArray data;
    if (sqlite3_step(statement) == SQLITE_ROW)
        data = QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                          sqlite3_column_bytes(statement, 0));
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return data;
}

QList<LocalRow> SyncStore::rows(const char* select, QList<QString>* hrefs)
{
    QList<LocalRow> list;
    sqlite3_stmt* statement = prepare(select);
    if (!statement)
        return list;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        LocalRow r;
        r.id = sqlite3_column_int64(statement, 0);
        ContactValues& v = r.values;
        int i = 0;
        for (const ContactColumn& c : kContactColumns)
            ValueOf(v, c) = Text(statement, ++i);
        list.append(r);
        if (hrefs)
            hrefs->append(Text(statement, kContactColumnCount + 1));
    }
    sqlite3_reset(statement);
    return list;
}

QHash<QString, QList<LocalRow>> SyncStore::linkedRows()
{
    static const QByteArray select =
        QByteArray("select ") + ContactColumns() +
        ", v.href from sync_vazby v join zvonisty z on z.id = v.id order by z.id";
    QList<QString> hrefs;
    const QList<LocalRow> all = rows(select.constData(), &hrefs);
    QHash<QString, QList<LocalRow>> byCard;
    for (qsizetype i = 0; i < all.size(); ++i)
        byCard[hrefs[i]].append(all[i]);
    return byCard;
}

QList<LocalRow> SyncStore::unlinkedRows()
{
    static const QByteArray select = QByteArray("select ") + ContactColumns() +
                                     " from zvonisty z where not exists (select 1 from sync_vazby v where "
                                     "v.id = z.id) order by z.id";
    return rows(select.constData(), nullptr);
}

bool SyncStore::begin()
{
    return run("begin immediate");
}

bool SyncStore::commit()
{
    return run("commit");
}

void SyncStore::rollback()
{
    if (m_connection->handle() && !sqlite3_get_autocommit(m_connection->handle()))
        sqlite3_exec(m_connection->handle(), "rollback", nullptr, nullptr, nullptr);
}

bool SyncStore::reset()
{
    return run("delete from sync_karty") && run("delete from sync_vazby") && run("delete from sync_stav");
}

bool SyncStore::putCard(const SyncedCard& card)
{
    sqlite3_stmt* statement = prepare("insert or replace into sync_karty (href, etag, karta, otisk, "
                                      "odeslany_otisk) values (?, ?, ?, ?, ?)");
    if (!statement)
        return false;
    Bind(statement, 1, card.href);
    Bind(statement, 2, card.etag);
    sqlite3_bind_blob(statement, 3, card.card.constData(), int(card.card.size()), SQLITE_TRANSIENT);
    Bind(statement, 4, card.fingerprint);
    Bind(statement, 5, card.pendingFingerprint);
    return step(statement);
}

bool SyncStore::dropCard(const QString& href)
{
    for (const char* text :
         {"delete from sync_karty where href = ?", "delete from sync_vazby where href = ?"}) {
        sqlite3_stmt* statement = prepare(text);
        if (!statement)
            return false;
        Bind(statement, 1, href);
        if (!step(statement))
            return false;
    }
    return true;
}

bool SyncStore::link(qint64 id, const QString& href)
{
    sqlite3_stmt* statement = prepare("insert or replace into sync_vazby (id, href) values (?, ?)");
    if (!statement)
        return false;
    sqlite3_bind_int64(statement, 1, id);
    Bind(statement, 2, href);
    return step(statement);
}

bool SyncStore::unlink(qint64 id)
{
    sqlite3_stmt* statement = prepare("delete from sync_vazby where id = ?");
    if (!statement)
        return false;
    sqlite3_bind_int64(statement, 1, id);
    return step(statement);
}

qint64 SyncStore::insertContact(const ContactValues& v)
{
    sqlite3_stmt* statement =
        prepare("insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, "
                "skupina, icq, skype) values (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!statement)
        return 0;
    BindValues(statement, v);
    return step(statement) ? sqlite3_last_insert_rowid(m_connection->handle()) : 0;
}

bool SyncStore::updateContact(qint64 id, const ContactValues& v)
{
    sqlite3_stmt* statement = prepare(
        "update zvonisty set telefon = ?, jmeno = ?, email = ?, poznamka = ?, datum = ?, organizace = ?, "
        "skupina = ?, icq = ?, skype = ? where id = ?");
    if (!statement)
        return false;
    BindValues(statement, v);
    sqlite3_bind_int64(statement, 10, id);
    return step(statement);
}

bool SyncStore::deleteContact(qint64 id)
{
    for (const char* text : {"delete from poznamky where id = ?", "delete from zvonisty where id = ?",
                             "delete from sync_vazby where id = ?"}) {
        sqlite3_stmt* statement = prepare(text);
        if (!statement)
            return false;
        sqlite3_bind_int64(statement, 1, id);
        if (!step(statement))
            return false;
    }
    return true;
}

bool SyncStore::addNote(qint64 id, const QString& text)
{
    sqlite3_stmt* statement = prepare("insert into poznamky (id, pozn) values (?, ?)");
    if (!statement)
        return false;
    sqlite3_bind_int64(statement, 1, id);
    Bind(statement, 2, text);
    return step(statement);
}

} // namespace db
