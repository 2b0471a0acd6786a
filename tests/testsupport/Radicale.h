#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace testsupport {

// An address book server of the system's own, on 127.0.0.1 only, with its data in a temporary
// folder: user "test", password "heslo", one address book at /test/adresar/. It can be stopped
// and started again on the same port and data, as a server that goes away in the middle of a
// synchronisation. Also a second client that changes the book behind the program's back.
class Radicale
{
public:
    Radicale();
    ~Radicale();

    // Starts the server and waits until it answers; the address book is made on the first start.
    // True when the server runs with its address book.
    bool start();
    void stop();
    bool isRunning() const;
    // What the server wrote to its error output, for a failed test's message.
    QString log() const;

    quint16 port() const { return m_port; }
    QUrl root() const; // http://127.0.0.1:<port>/
    QUrl book() const; // the address book, ending with '/'
    // Where the server keeps the book's cards, one file each: a large book can be laid there at
    // once instead of being sent card by card.
    QString bookFolder() const;
    QUrl url(const QString& href) const; // an href of the server made absolute
    static QString user() { return QStringLiteral("test"); }
    static QString password() { return QStringLiteral("heslo"); }

    // The second client: plain requests on its own, answering the HTTP status (0 when none
    // came). `etag` receives the ETag header.
    int put(const QString& href, const QByteArray& vcard, QByteArray* etag = nullptr);
    int remove(const QString& href);
    int get(const QString& href, QByteArray* body = nullptr);

private:
    int request(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                const QByteArray& contentType, QByteArray* answer, QByteArray* etag);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_bookMade = false;
    QString m_problem;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace testsupport
