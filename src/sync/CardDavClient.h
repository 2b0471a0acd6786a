#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

class QAuthenticator;
class QNetworkAccessManager;
class QNetworkReply;

// The address book on a server, spoken to over WebDAV. Every call waits for its answer in an
// event loop of its own: the windows keep painting and a cancel button can call abort(). The
// caller keeps its windows from starting a second call meanwhile; such a call is refused.
namespace carddav {

struct Multistatus;

struct RemoteCard
{
    QString href; // as the server wrote it, e.g. "/test/book/abc.vcf": the card's identity
    QString etag;
    QByteArray data;
};

struct RemoteChanges
{
    QList<RemoteCard> changed; // href and etag only
    QStringList deleted;
    QString token;
};

class CardDavClient : public QObject
{
    Q_OBJECT
public:
    enum class Failure {
        None,
        Network,
        Timeout,
        Unauthorized,
        Forbidden,
        PreconditionFailed,
        NotFound,
        ServerError,
        Protocol,
        InvalidToken,
        Aborted
    };
    static constexpr int DefaultTimeoutMs = 15000;

    explicit CardDavClient(QObject* parent = nullptr);
    ~CardDavClient() override;

    // Sent with every request to the book's own server, and given once more when it asks.
    void setCredentials(const QString& user, const QString& password);
    // The longest silence of the server within one request.
    void setTimeoutMs(int ms);

    // The address book at `address`: the address itself when it is one, else the first book of
    // the user's home found from the server's well-known address or from the address itself.
    bool discover(const QUrl& address, QUrl* addressBook);
    bool supportsSyncCollection(const QUrl& book, bool* supported);
    // Every card's href and ETag.
    bool listEtags(const QUrl& book, QList<RemoteCard>* cards);
    // What changed since `token` (empty: everything). A token the server no longer accepts gives
    // Failure::InvalidToken; the caller then starts again with an empty one.
    bool syncCollection(const QUrl& book, const QString& token, RemoteChanges* changes);
    // The cards' data and ETags; hrefs the server does not know are left out of `cards`.
    bool multiget(const QUrl& book, const QStringList& hrefs, QList<RemoteCard>* cards);
    // Writes a card: over the version `ifMatch` names, or, with an empty `ifMatch`, only where
    // none is. `newEtag` is empty when the server would not tell it even when asked.
    bool put(const QUrl& url, const QByteArray& vcard, const QString& ifMatch, QString* newEtag);
    // A card already gone counts as removed.
    bool remove(const QUrl& url, const QString& ifMatch);
    // An href on the book's server; an invalid URL when it points to another server, so that
    // nothing (and no password) goes where the user did not send it.
    QUrl resolve(const QUrl& book, const QString& href) const;

    Failure failure() const { return m_failure; }
    int lastStatus() const { return m_status; }
    QString errorText() const { return m_errorText; }
    void abort();

private:
    struct Answer
    {
        int status = 0;
        QByteArray body;
        QByteArray etag;
        QUrl url; // after redirects
    };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    bool send(const QByteArray& verb, QUrl url, const QByteArray& body, const Headers& headers,
              Answer* answer, bool followRedirects = false);
    bool sendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body, const Headers& headers,
                  Answer* answer, QUrl* location);
    bool multistatus(const QByteArray& verb, const QUrl& url, const QByteArray& body, const QByteArray& depth,
                     Multistatus* into, Answer* answer = nullptr, bool followRedirects = false);
    bool discoverFrom(const QUrl& start, QUrl* addressBook, bool* found);
    bool firstBookIn(const QUrl& home, QUrl* addressBook, bool* found);
    bool failStatus(int status);
    bool fail(Failure failure, const QString& text);
    void succeed();
    void answerChallenge(QNetworkReply* reply, QAuthenticator* authenticator);

    QNetworkAccessManager* m_manager;
    QNetworkReply* m_reply = nullptr;
    QString m_user, m_password;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_challenges = 0;
    bool m_aborted = false;
    bool m_ifNoneMatch = false; // the running write only creates: its 412 means the card exists
    Failure m_failure = Failure::None;
    int m_status = 0;
    QString m_errorText;
};

} // namespace carddav
