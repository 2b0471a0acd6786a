#include "testsupport/TestSupport.h"
#include "testsupport/MainParts.h"

#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Connection.h"
#include "edit/TDetailNovy.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocalServer>
#include <QPointer>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace testsupport {

namespace {

// The copies of the search index that closes keep go to a cache of the test run's own.
void OwnCache()
{
    static QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(OwnCache)

QString ReadCp1250(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QStringDecoder decoder("windows-1250");
    return decoder.decode(f.readAll());
}

QByteArray FileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void WriteCp1250(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QStringEncoder encoder("windows-1250");
    f.write(encoder.encode(text));
}

Sandbox::Sandbox() : m_previousCurrent(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    app::SetExecutableDir(m_dir.path());
    app::SetExecutableFileName(QStringLiteral("zvonisty"));
    MessageDialogSeam::setTestMode(true);
    MessageDialogSeam::clearShown();
    InstallDialogFailureReporter();
    FileDialog::setTestMode(true);
    FileDialog::clearShown();
}

Sandbox::~Sandbox()
{
    QDir::setCurrent(m_previousCurrent);
    app::SetExecutableDir(QString());
    MessageDialogSeam::clearShown();
}

QString Sandbox::path(const QString& name) const
{
    return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
}

QString Sandbox::errorLog() const
{
    return ReadCp1250(path(QStringLiteral("Error.log")));
}

QStringList Sandbox::errorLogLines() const
{
    QStringList lines = errorLog().split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void Sandbox::createDirectory(int version, const QStringList& statements)
{
    QFile::remove(dbPath());
    QString error;
    if (!db::CreateDirectoryDatabase(dbPath(), &error))
        qFatal("cannot create the test directory: %s", qPrintable(error));
    QStringList all = UpgradeStatements(1);
    const int count = version >= 4 ? int(all.size()) : version == 3 ? 9 : version == 2 ? 4 : 0;
    run(all.mid(0, count) + statements);
}

void Sandbox::run(const QStringList& statements)
{
    if (statements.isEmpty())
        return;
    db::Connection connection;
    connection.setConnectionString(
        QStringLiteral("Provider=SQLite.3;Data Source=%1;Mode=Share Deny Read|Share "
                       "Deny Write;Persist Security Info=False")
            .arg(dbPath()));
    connection.open();
    for (const QString& s : statements)
        Exec(&connection, s);
}

QStringList Column(db::Connection* connection, const QString& select, const QString& field)
{
    db::Query q(connection);
    q.setSql(select);
    q.open();
    QStringList values;
    while (!q.eof()) {
        values << q.fieldText(field);
        q.next();
    }
    return values;
}

QStringList ContactTexts(db::Connection* connection)
{
    QStringList rows = Column(
        connection,
        QStringLiteral("select telefon || '|' || ifnull(jmeno,'') || '|' || ifnull(email,'') || '|' || "
                       "ifnull(poznamka,'') || '|' || ifnull(organizace,'') || '|' || ifnull(skupina,'') "
                       "|| '|' || ifnull(icq,'') || '|' || ifnull(skype,'') as r from zvonisty"),
        QStringLiteral("r"));
    rows.sort();
    return rows;
}

void Exec(db::Connection* connection, const QString& statement)
{
    db::Query q(connection);
    q.setSql(statement);
    q.execSql();
}

namespace {
void WhenModalShownTry(const std::function<void(QWidget*)>& steps, int triesLeft)
{
    QTimer::singleShot(triesLeft == 300 ? 0 : 10, [steps, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (triesLeft > 0)
                WhenModalShownTry(steps, triesLeft - 1);
            return;
        }
        QPointer<QWidget> guard(modal);
        steps(modal);
        if (guard && guard->isVisible())
            if (auto* dialog = qobject_cast<QDialog*>(guard.data()))
                dialog->reject();
    });
}
} // namespace

void WhenModalShown(const std::function<void(QWidget*)>& steps)
{
    WhenModalShownTry(steps, 300);
}

SavedAgain SaveSelectedUnchanged(TMain* window)
{
    SavedAgain result;
    WhenModalShown([&](QWidget* modal) {
        auto* d = qobject_cast<TDetailNovy*>(modal);
        if (!d)
            return;
        result.shownName = d->Jmeno->text();
        d->Uloz->click();
        result.saved = !d->isVisible();
    });
    Parts(*window).Kompletnpravavybranpoloky1->trigger();
    return result;
}

std::unique_ptr<TMain> StartMain(app::Context* context)
{
    auto window = std::make_unique<TMain>(context);
    if (window->started()) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the main window was not exposed");
    }
    return window;
}

QByteArray Crlf(const char* text)
{
    QByteArray bytes(text);
    bytes.replace("\n", "\r\n");
    return bytes;
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QStringList MessagesShown()
{
    QStringList texts;
    for (const auto& r : MessageDialogSeam::shown())
        texts << r.text;
    return texts;
}

ContactValues Values(const QStringList& v)
{
    ContactValues c;
    c.telefon = v.value(0);
    c.jmeno = v.value(1);
    c.email = v.value(2);
    c.poznamka = v.value(3);
    c.organizace = v.value(4);
    c.skupina = v.value(5);
    c.icq = v.value(6);
    c.skype = v.value(7);
    return c;
}

QStringList Fields(const ContactValues& c)
{
    return {c.telefon, c.jmeno, c.email, c.poznamka, c.organizace, c.skupina, c.icq, c.skype};
}

QString ConnectionStringFor(const QString& path, const QString& mode)
{
    return QStringLiteral("Provider=SQLite.3;Data Source=%1;Mode=%2;Persist Security Info=False")
        .arg(path, mode);
}

std::unique_ptr<db::Connection> OpenDefaultDirectory()
{
    auto connection = std::make_unique<db::Connection>();
    connection->setConnectionString(db::Connection::DefaultConnectionString());
    connection->open();
    return connection;
}

void FreshDirectoryTest::openFresh()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("Zvonisty.mdb"));
    QFile::remove(m_path);
    QString error;
    QVERIFY2(db::CreateDirectoryDatabase(m_path, &error), qPrintable(error));
    m_connection = new db::Connection;
    m_connection->setConnectionString(ConnectionStringFor(m_path));
    m_connection->open();
}

void FreshDirectoryTest::closeConnection()
{
    delete m_connection;
    m_connection = nullptr;
}

void FreshDirectoryTest::exec(const QString& statement)
{
    Exec(m_connection, statement);
}

QStringList FreshDirectoryTest::column(const QString& statement, const QString& field)
{
    return Column(m_connection, statement, field);
}

void FreshDirectoryTest::insertName(const QString& name)
{
    exec(QStringLiteral("insert into zvonisty (telefon, jmeno) values ('1', '%1')").arg(name));
}

SpecialInput::SpecialInput(const QString& kind, const QString& folder)
{
    m_path = folder + QStringLiteral("/vstup;x.txt");
    if (kind == QLatin1String("file")) {
        QFile f(m_path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(m_path));
    } else if (kind == QLatin1String("dir")) {
        QDir().mkpath(m_path);
    } else if (kind == QLatin1String("fifo")) {
        if (::mkfifo(QFile::encodeName(m_path).constData(), 0600) != 0)
            qFatal("cannot make a pipe %s", qPrintable(m_path));
    } else if (kind == QLatin1String("socket")) {
        // Socket paths are short.
        m_path = folder + QStringLiteral("/s");
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(m_path))
            qFatal("cannot listen on %s", qPrintable(m_path));
    } else if (kind.startsWith(QLatin1Char('/'))) {
        m_path = kind;
    }
}

SpecialInput::~SpecialInput() = default;

} // namespace testsupport
