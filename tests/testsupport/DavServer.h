#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace testsupport {

// A real address book server on 127.0.0.1 only, with its data in a temporary folder and one
// address book of user "test" (password "heslo" where the server asks for one). It can be
// stopped and started again on the same port and data, as a server that goes away in the middle
// of a synchronisation. Also a second client that changes the book behind the program's back.
class DavServer
{
public:
    virtual ~DavServer();

    // Starts the server and waits until it answers; the address book is made on the first start.
    // True when the server runs with its address book.
    virtual bool start() = 0;
    void stop();
    bool isRunning() const;
    // What the server wrote to its error output, for a failed test's message.
    QString log() const;
    virtual QString name() const = 0;

    quint16 port() const { return m_port; }
    QUrl root() const;                   // http://127.0.0.1:<port>/
    virtual QUrl book() const = 0;       // the address book, ending with '/'
    virtual QUrl home() const = 0;       // the user's own collection, where discovery may start
    QUrl url(const QString& href) const; // an href of the server made absolute
    static QString user() { return QStringLiteral("test"); }
    static QString password() { return QStringLiteral("heslo"); }

    // The second client: plain requests on its own, answering the HTTP status (0 when none
    // came). `etag` receives the ETag header.
    int put(const QString& href, const QByteArray& vcard, QByteArray* etag = nullptr);
    int remove(const QString& href);
    int get(const QString& href, QByteArray* body = nullptr);

protected:
    DavServer();
    // Runs `program` and waits until it takes connections on the port.
    bool launch(const QString& program, const QStringList& arguments);
    QString dataPath(const QString& name) const { return m_dir.filePath(name); }
    int request(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                const QByteArray& contentType, QByteArray* answer, QByteArray* etag);

    QString m_problem;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace testsupport
