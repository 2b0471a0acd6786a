#pragma once

#include <QString>
#include <QUrl>

// Addresses on an address book server compared as the server means them.
namespace carddav {

// Scheme, host and port alike: a password may go from one to the other.
bool SameServer(const QUrl& a, const QUrl& b);
// The path without its escapes and without a final slash: two spellings of one collection agree.
QString PathKey(const QUrl& url);
// The address with a final slash, as a collection's address ends.
QUrl AsCollection(QUrl url);
// The address to show a person: never with a name and password written into it.
QString DisplayAddress(const QUrl& url);
// Whether `member` lies inside the collection `book` (not the collection itself).
bool IsMemberOf(const QUrl& member, const QUrl& book);

} // namespace carddav
