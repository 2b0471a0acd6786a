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
//
// How long a server may take, by the kind of request:
// - a simple one (a card's PUT, GET or DELETE, a PROPFIND of depth 0): 30 s of silence at a
//   time, before the first byte and after it, and 120 s in all;
// - a listing or report (PROPFIND of depth 1, sync-collection, addressbook-multiget): 120 s
//   before the first byte, as a loaded server thinks most of a minute over a book of ten
//   thousand cards before it starts, then 30 s of silence at a time, and 600 s in all.
// The limit in all stops a server that trickles a byte now and then from holding a run.
//
// Values taken from answers (hrefs, ETags, sync tokens) never carry a control character into
// a request line or header, and the password goes only to the server the call was made for.
namespace carddav {

struct Multistatus;

struct RemoteCard
{
    // As the server wrote it in a listing, e.g. "/test/book/abc.vcf": the card's identity. A
    // multiget gives back the href it was asked for, however the server spells it.
    QString href;
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
        Aborted,
        NotAddressBook
    };
    static constexpr int DefaultTimeoutMs = 30000; // the silence limit
    static constexpr int DefaultOverallMs = 120000;
    // The waits of a listing against those of a simple request.
    static constexpr int ListingFirstByteFactor = 4; // times the silence limit
    static constexpr int ListingOverallFactor = 5;   // times the limit in all
    // Cards above this size are the synchroniser's to name; the client delivers what it gets.
    static constexpr qint64 MaxCardBytes = 5 * 1024 * 1024;

    explicit CardDavClient(QObject* parent = nullptr);
    ~CardDavClient() override;

    // Sent with every request to the book's own server, and given once more when it asks.
    void setCredentials(const QString& user, const QString& password);
    // The silence limit and the limit in all of a simple request; a listing's follow from them.
    void setTimeouts(int silenceMs, int overallMs);
    // The silence limit, with the limit in all kept at four times it, as by default.
    void setTimeoutMs(int ms);

    // The address book at `address`: the address itself when it is one, else the first book of
    // the user's home found from the server's well-known address or from the address itself.
    // An address where no server speaks CardDAV gives Failure::NotAddressBook.
    bool discover(const QUrl& address, QUrl* addressBook);
    bool supportsSyncCollection(const QUrl& book, bool* supported);
    // Every card's href and ETag.
    bool listEtags(const QUrl& book, QList<RemoteCard>* cards);
    // What changed since `token` (empty: everything). A token the server no longer accepts gives
    // Failure::InvalidToken; the caller then starts again with an empty one.
    bool syncCollection(const QUrl& book, const QString& token, RemoteChanges* changes);
    // The cards' data and ETags. A requested href that comes back without data (unknown to the
    // server, failing on its own, left out) is not in `cards` but in `undelivered`. A batch the
    // server fails as a whole is fetched again card by card; only a broken connection, the
    // user's abort, a limit of time or a refusal of the user fails the call.
    bool multiget(const QUrl& book, const QStringList& hrefs, QList<RemoteCard>* cards,
                  QStringList* undelivered = nullptr);
    // Writes a card: over the version `ifMatch` names, or, with an empty `ifMatch`, only where
    // none is. `newEtag` is empty when the server would not tell it even when asked.
    bool put(const QUrl& url, const QByteArray& vcard, const QString& ifMatch, QString* newEtag);
    // A card already gone counts as removed.
    bool remove(const QUrl& url, const QString& ifMatch);
    // An href on the book's server; an invalid URL when it points to another server or holds a
    // control character, so that nothing (and no password) goes where the user did not send it.
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
    enum class Wait { Simple, Listing };

    bool send(const QByteArray& verb, QUrl url, const QByteArray& body, const Headers& headers,
              Answer* answer, Wait wait, bool followRedirects = false);
    bool sendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body, const Headers& headers,
                  Answer* answer, Wait wait, QUrl* location);
    bool multistatus(const QByteArray& verb, const QUrl& url, const QByteArray& body, const QByteArray& depth,
                     Multistatus* into, Answer* answer = nullptr, bool followRedirects = false);
    // Why a sync-collection was refused: a token the server no longer knows, or a failure.
    bool failSync(const QUrl& book, const QString& from, int status, const QByteArray& body);
    bool fetchOne(const QUrl& book, const QString& href, QList<RemoteCard>* cards, QStringList* undelivered);
    bool discoverFrom(const QUrl& start, QUrl* addressBook, bool* found);
    bool firstBookIn(const QUrl& home, QUrl* addressBook, bool* found);
    bool failStatus(int status);
    bool fail(Failure failure, const QString& text);
    bool failNotAddressBook(const QUrl& address);
    bool failUserInfo(const QUrl& address);
    void succeed();
    void answerChallenge(QNetworkReply* reply, QAuthenticator* authenticator);

    QNetworkAccessManager* m_manager;
    QNetworkReply* m_reply = nullptr;
    QString m_user, m_password;
    int m_silenceMs = DefaultTimeoutMs;
    int m_overallMs = DefaultOverallMs;
    // The server that may hear the password: the address a discovery started from, else the
    // address of the running request before any redirect.
    QUrl m_origin;
    QUrl m_credentialsFor;
    int m_challenges = 0;
    bool m_aborted = false;
    bool m_ifNoneMatch = false; // the running write only creates: its 412 means the card exists
    Failure m_failure = Failure::None;
    int m_status = 0;
    QString m_errorText;
};

} // namespace carddav
