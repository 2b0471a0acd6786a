#include "db/Connection.h"

#include "db/Dialect.h"
#include "db/Engine.h"
#include "db/Query.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

namespace db {
namespace {

QAtomicInt g_connectionCounter;

void Run(sqlite3* handle, const QString& statement)
{
    char* message = nullptr;
    if (sqlite3_exec(handle, statement.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        throw EngineError(EngineErrorText(handle));
    }
}

bool HasDirectoryTable(sqlite3* handle)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle,
                           "select count(*) from sqlite_master where type = 'table' and lower(name) = 'zvonisty'",
                           -1, &stmt, nullptr) != SQLITE_OK)
        throw EngineError(EngineErrorText(handle));
    const int rc = sqlite3_step(stmt);
    const bool found = rc == SQLITE_ROW && sqlite3_column_int(stmt, 0) > 0;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW)
        throw EngineError(EngineErrorText(handle));
    return found;
}

bool HasDatabaseHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // let the engine report why it cannot be read
    static const QByteArray magic("SQLite format 3\0", 16);
    return file.read(16) == magic;
}

} // namespace

QString Connection::DefaultConnectionString()
{
    return QStringLiteral("Provider=SQLite.3;Data Source=Zvonisty.mdb;Mode=Share Deny Read|Share Deny Write;"
                          "Persist Security Info=False");
}

Connection::Connection(QObject* parent) : QObject(parent)
{
    m_qtName = QStringLiteral("zvonisty-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1));
}

Connection::~Connection()
{
    close();
}

QString Connection::ConnectionStringValue(const QString& connectionString, const QString& key)
{
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}

void Connection::open()
{
    close();
    const QString source = ConnectionStringValue(m_connectionString, QStringLiteral("Data Source"));
    const QString mode = ConnectionStringValue(m_connectionString, QStringLiteral("Mode"));
    const bool exclusive = mode.contains(QLatin1String("Share Deny Read"), Qt::CaseInsensitive) ||
                           mode.contains(QLatin1String("Share Exclusive"), Qt::CaseInsensitive);
    const bool readOnly = mode.compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
    if (source.isEmpty())
        throw EngineError(QStringLiteral("V připojovacím řetězci chybí zdroj dat."));

    // The file name is looked up in the working directory at the moment of connecting.
    const QString path = QFileInfo(QDir::current(), source).absoluteFilePath();
    if (!QFileInfo(path).isFile())
        throw EngineError(QStringLiteral("Soubor %1 nebyl nalezen.").arg(QDir::toNativeSeparators(path)));
    // Only a file that already is a database of this engine is handed to it: the engine
    // would otherwise take an empty file for a new database and write into it.
    if (!HasDatabaseHeader(path))
        throw EngineError(QStringLiteral("Soubor není databází telefonního seznamu."));

    // mode=rw: the engine must never create a missing file.
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    {
        QSqlDatabase qdb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_qtName);
        qdb.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        qdb.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
        if (!qdb.open()) {
            const QString text = qdb.lastError().driverText() + QStringLiteral(" ") + qdb.lastError().databaseText();
            qdb = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_qtName);
            throw EngineError(text.trimmed());
        }
        const QVariant v = qdb.driver()->handle();
        m_handle = *static_cast<sqlite3* const*>(v.constData());
    }
    try {
        RegisterEngine(m_handle);
        if (exclusive) {
            // The exclusive lock taken by the first write transaction is kept until the
            // connection closes, so no one else can read or write the file meanwhile.
            Run(m_handle, QStringLiteral("pragma locking_mode = exclusive"));
        }
        // A grid walks the whole table in index order; keep the file's pages in memory.
        Run(m_handle, QStringLiteral("pragma cache_size = -131072"));
        Run(m_handle, QStringLiteral("pragma mmap_size = 1073741824"));
        Run(m_handle, readOnly ? QStringLiteral("begin") : QStringLiteral("begin exclusive"));
        bool directory = false;
        try {
            directory = HasDirectoryTable(m_handle);
        } catch (...) {
            sqlite3_exec(m_handle, "rollback", nullptr, nullptr, nullptr);
            throw;
        }
        Run(m_handle, QStringLiteral("commit"));
        if (!directory)
            throw EngineError(QStringLiteral("Soubor není databází telefonního seznamu."));
        if (!readOnly)
            for (const QString& statement : IndexStatements())
                Run(m_handle, statement);
    } catch (...) {
        close();
        throw;
    }
}

void Connection::close()
{
    // Statements still being read would keep the file open.
    Query::SuspendReading(this);
    if (!QSqlDatabase::contains(m_qtName)) {
        m_handle = nullptr;
        return;
    }
    {
        QSqlDatabase qdb = QSqlDatabase::database(m_qtName, false);
        qdb.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
    m_handle = nullptr;
}

bool CreateDirectoryDatabase(const QString& path, QString* error)
{
    {
        // NewOnly refuses an existing file, so nothing that exists is ever touched.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (error)
                *error = file.exists() ? QStringLiteral("Soubor %1 již existuje; nový seznam se do něj nezapíše.")
                                             .arg(QDir::toNativeSeparators(path))
                                       : QStringLiteral("Soubor %1 nelze vytvořit: %2")
                                             .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
    }
    sqlite3* handle = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        if (error)
            *error = EngineErrorText(handle);
        sqlite3_close(handle);
        QFile::remove(path);
        return false;
    }
    RegisterEngine(handle);
    try {
        Run(handle, QStringLiteral("begin"));
        for (const QString& statement : BaseSchemaStatements())
            Run(handle, statement);
        for (const QString& statement : IndexStatements())
            Run(handle, statement);
        Run(handle, QStringLiteral("commit"));
    } catch (const EngineError& e) {
        if (error)
            *error = e.message();
        sqlite3_close(handle);
        QFile::remove(path);
        return false;
    }
    sqlite3_close(handle);
    return true;
}

} // namespace db
