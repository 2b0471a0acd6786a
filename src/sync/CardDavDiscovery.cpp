// How the client finds the address book from whatever address the user knows.
#include "sync/CardDavClient.h"

#include "sync/DavPaths.h"
#include "sync/DavXml.h"

#include <QScopeGuard>

namespace carddav {

bool CardDavClient::firstBookIn(const QUrl& home, QUrl* addressBook, bool* found)
{
    Multistatus list;
    if (!multistatus("PROPFIND", home, PropfindBody({{Dav, QStringLiteral("resourcetype")}}), "1", &list))
        return false;
    for (const DavResponse& response : std::as_const(list.responses)) {
        const QUrl url = resolve(home, response.href);
        if (response.isAddressBook && url.isValid() && PathKey(url) != PathKey(home)) {
            *addressBook = AsCollection(url);
            *found = true;
            return true;
        }
    }
    return true;
}

// One starting point of the discovery: true with `found` false when it led nowhere.
bool CardDavClient::discoverFrom(const QUrl& start, QUrl* addressBook, bool* found)
{
    Multistatus self;
    Answer answer;
    const QByteArray body = PropfindBody({{Dav, QStringLiteral("resourcetype")},
                                          {Dav, QStringLiteral("current-user-principal")},
                                          {CardDav, QStringLiteral("addressbook-home-set")}});
    if (!multistatus("PROPFIND", start, body, "0", &self, &answer, true)) {
        // Only a server that cannot be reached or refuses the user ends the search.
        const bool final = m_failure == Failure::Network || m_failure == Failure::Timeout ||
                           m_failure == Failure::Unauthorized || m_failure == Failure::Aborted;
        return !final;
    }
    // The response about the address asked, or the only one: a server may name it its own way.
    QUrl here = answer.url;
    const DavResponse* response = nullptr;
    for (const DavResponse& each : std::as_const(self.responses))
        if (PathKey(resolve(here, each.href)) == PathKey(here))
            response = &each;
    if (!response && self.responses.size() == 1 && resolve(here, self.responses.at(0).href).isValid()) {
        response = &self.responses.at(0);
        here = resolve(here, response->href);
    }
    if (!response)
        return true;
    if (response->isAddressBook) {
        *addressBook = AsCollection(here);
        *found = true;
        return true;
    }
    QStringList homes = response->addressBookHomeSet;
    if (homes.isEmpty() && !response->currentUserPrincipal.isEmpty()) {
        Multistatus principal;
        const QUrl url = resolve(here, response->currentUserPrincipal);
        if (!url.isValid())
            return true;
        if (!multistatus("PROPFIND", url, PropfindBody({{CardDav, QStringLiteral("addressbook-home-set")}}),
                         "0", &principal))
            return false;
        for (const DavResponse& each : std::as_const(principal.responses))
            homes += each.addressBookHomeSet;
    }
    for (const QString& home : std::as_const(homes)) {
        const QUrl url = resolve(here, home);
        if (url.isValid() && !firstBookIn(AsCollection(url), addressBook, found))
            return false;
        if (*found)
            return true;
    }
    return true;
}

bool CardDavClient::discover(const QUrl& address, QUrl* addressBook)
{
    if (!address.userInfo().isEmpty())
        return failUserInfo(address);
    m_origin = address;
    const auto forget = qScopeGuard([this] { m_origin.clear(); });
    QUrl wellKnown = address.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
    // A bare server address is what the well-known address serves; any other path is tried as
    // given first, as it may be the book itself.
    const bool bare = address.path().isEmpty() || address.path() == QLatin1String("/");
    const QList<QUrl> starts = bare ? QList<QUrl>{wellKnown, address} : QList<QUrl>{address, wellKnown};
    QString serverError;
    for (const QUrl& start : starts) {
        bool found = false;
        if (!discoverFrom(start, addressBook, &found))
            return false;
        if (found) {
            succeed();
            return true;
        }
        if (m_failure == Failure::ServerError && serverError.isEmpty())
            serverError = m_errorText;
    }
    // A failing server is no proof that there is no book.
    if (!serverError.isEmpty())
        return fail(Failure::ServerError, serverError);
    return failNotAddressBook(address);
}

} // namespace carddav
