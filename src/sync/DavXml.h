#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QStringView>

// The bodies an address book server answers with, read without any network: what the client
// asks for and what it does with the answer stay apart from how the answer is spelled.
namespace carddav {

inline const QString Dav = QStringLiteral("DAV:");
inline const QString CardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

// One response element of a multi-status body. Properties are taken only from propstats whose
// status is 2xx: a 404 propstat names what the resource lacks, not what it holds.
struct DavResponse
{
    QString href;   // the text exactly as the server wrote it, trimmed
    int status = 0; // the response's own status (a member gone since a token: 404), 0 when absent
    QString etag;
    QString contentType;
    QByteArray addressData;
    bool isCollection = false;
    bool isAddressBook = false;
    QString currentUserPrincipal;   // href
    QStringList addressBookHomeSet; // hrefs
    QStringList supportedReports;   // "namespace name", e.g. "DAV: sync-collection"
};

struct Multistatus
{
    // A well-formed DAV:multistatus whose hrefs, ETags and token hold no control character:
    // those go into request headers and addresses, where a line break would add a header.
    bool ok = false;
    QList<DavResponse> responses;
    QString syncToken;
};

Multistatus ParseMultistatus(const QByteArray& body);

// Whether the text holds a character below U+0020 or U+007F (tab, CR and LF too).
bool HasControlCharacter(QStringView text);

// Whether the body is a DAV:error naming the precondition `name` in the namespace `ns`.
bool HasPrecondition(const QByteArray& body, const QString& ns, const QString& name);

// The status code of a status line such as "HTTP/1.1 404 Not Found", 0 when there is none.
int StatusOfLine(const QString& line);

// Request bodies.
QByteArray PropfindBody(const QList<QPair<QString, QString>>& properties); // (namespace, name)
QByteArray SyncCollectionBody(const QString& token);
QByteArray MultigetBody(const QStringList& hrefs);

} // namespace carddav
