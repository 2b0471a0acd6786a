#include "sync/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>

namespace carddav {

namespace {

bool Is(const QXmlStreamReader& xml, const QString& ns, const char* name)
{
    return xml.namespaceUri() == ns && xml.name() == QLatin1String(name);
}

QString Text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

// The hrefs directly inside the current element.
QStringList Hrefs(QXmlStreamReader& xml)
{
    QStringList hrefs;
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "href"))
            hrefs << Text(xml);
        else
            xml.skipCurrentElement();
    }
    return hrefs;
}

void ReadResourceType(QXmlStreamReader& xml, DavResponse* into)
{
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "collection"))
            into->isCollection = true;
        else if (Is(xml, CardDav, "addressbook"))
            into->isAddressBook = true;
        xml.skipCurrentElement();
    }
}

QString ReportName(const QXmlStreamReader& xml)
{
    return xml.namespaceUri().toString() + u' ' + xml.name().toString();
}

void ReadSupportedReports(QXmlStreamReader& xml, DavResponse* into)
{
    while (xml.readNextStartElement()) {
        if (!Is(xml, Dav, "supported-report")) {
            xml.skipCurrentElement();
            continue;
        }
        // Some servers name the report right inside supported-report, without DAV:report.
        while (xml.readNextStartElement()) {
            if (!Is(xml, Dav, "report")) {
                into->supportedReports << ReportName(xml);
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                into->supportedReports << ReportName(xml);
                xml.skipCurrentElement();
            }
        }
    }
}

void ReadProp(QXmlStreamReader& xml, DavResponse* into)
{
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "getetag"))
            into->etag = Text(xml);
        else if (Is(xml, Dav, "getcontenttype"))
            into->contentType = Text(xml);
        else if (Is(xml, Dav, "resourcetype"))
            ReadResourceType(xml, into);
        else if (Is(xml, Dav, "current-user-principal"))
            into->currentUserPrincipal = Hrefs(xml).value(0);
        else if (Is(xml, CardDav, "addressbook-home-set"))
            into->addressBookHomeSet = Hrefs(xml);
        else if (Is(xml, Dav, "supported-report-set"))
            ReadSupportedReports(xml, into);
        else if (Is(xml, CardDav, "address-data")) {
            // XML reading turns a raw CR LF into LF (only an escaped CR survives); a card's
            // lines end in CR LF, so they are given back that way.
            QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            into->addressData = text.toUtf8();
        } else
            xml.skipCurrentElement();
    }
}

void Merge(const DavResponse& from, DavResponse* into)
{
    if (!from.etag.isEmpty())
        into->etag = from.etag;
    if (!from.contentType.isEmpty())
        into->contentType = from.contentType;
    if (!from.addressData.isEmpty())
        into->addressData = from.addressData;
    into->isCollection |= from.isCollection;
    into->isAddressBook |= from.isAddressBook;
    if (!from.currentUserPrincipal.isEmpty())
        into->currentUserPrincipal = from.currentUserPrincipal;
    if (!from.addressBookHomeSet.isEmpty())
        into->addressBookHomeSet = from.addressBookHomeSet;
    into->supportedReports += from.supportedReports;
}

void ReadPropstat(QXmlStreamReader& xml, DavResponse* into)
{
    DavResponse found;
    int status = 0;
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "prop"))
            ReadProp(xml, &found);
        else if (Is(xml, Dav, "status"))
            status = StatusOfLine(Text(xml));
        else
            xml.skipCurrentElement();
    }
    if (status >= 200 && status < 300)
        Merge(found, into);
}

// A response may name several hrefs sharing one status; each becomes a response of its own.
void ReadResponse(QXmlStreamReader& xml, QList<DavResponse>* into)
{
    DavResponse response;
    QStringList hrefs;
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "href"))
            hrefs << Text(xml);
        else if (Is(xml, Dav, "status"))
            response.status = StatusOfLine(Text(xml));
        else if (Is(xml, Dav, "propstat"))
            ReadPropstat(xml, &response);
        else
            xml.skipCurrentElement();
    }
    for (const QString& href : std::as_const(hrefs)) {
        if (href.isEmpty())
            continue;
        response.href = href;
        into->append(response);
    }
}

void WriteStart(QXmlStreamWriter& xml, const QString& ns, const QString& name)
{
    xml.writeStartDocument();
    xml.writeNamespace(Dav, QStringLiteral("D"));
    xml.writeNamespace(CardDav, QStringLiteral("C"));
    xml.writeStartElement(ns, name);
}

} // namespace

int StatusOfLine(const QString& line)
{
    const QStringList parts = line.simplified().split(u' ');
    if (parts.size() < 2 || !parts.at(0).startsWith(QLatin1String("HTTP/")))
        return 0;
    bool ok = false;
    const int code = parts.at(1).toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

Multistatus ParseMultistatus(const QByteArray& body)
{
    Multistatus result;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !Is(xml, Dav, "multistatus"))
        return result;
    while (xml.readNextStartElement()) {
        if (Is(xml, Dav, "response"))
            ReadResponse(xml, &result.responses);
        else if (Is(xml, Dav, "sync-token"))
            result.syncToken = Text(xml);
        else
            xml.skipCurrentElement();
    }
    result.ok = !xml.hasError() && !HasControlCharacter(result.syncToken) &&
                std::none_of(result.responses.cbegin(), result.responses.cend(), [](const DavResponse& r) {
                    return HasControlCharacter(r.href) || HasControlCharacter(r.etag) ||
                           HasControlCharacter(r.currentUserPrincipal) ||
                           std::any_of(r.addressBookHomeSet.cbegin(), r.addressBookHomeSet.cend(),
                                       HasControlCharacter);
                });
    if (!result.ok)
        result.responses.clear();
    return result;
}

bool HasControlCharacter(QStringView text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

bool HasPrecondition(const QByteArray& body, const QString& ns, const QString& name)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !Is(xml, Dav, "error"))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == ns && xml.name() == name)
            return true;
        xml.skipCurrentElement();
    }
    return false;
}

QByteArray PropfindBody(const QList<QPair<QString, QString>>& properties)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    WriteStart(xml, Dav, QStringLiteral("propfind"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    for (const auto& [ns, name] : properties)
        xml.writeEmptyElement(ns, name);
    xml.writeEndDocument();
    return body;
}

QByteArray SyncCollectionBody(const QString& token)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    WriteStart(xml, Dav, QStringLiteral("sync-collection"));
    xml.writeTextElement(Dav, QStringLiteral("sync-token"), token);
    xml.writeTextElement(Dav, QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    xml.writeEmptyElement(Dav, QStringLiteral("getetag"));
    xml.writeEndDocument();
    return body;
}

QByteArray MultigetBody(const QStringList& hrefs)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    WriteStart(xml, CardDav, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    xml.writeEmptyElement(Dav, QStringLiteral("getetag"));
    xml.writeEmptyElement(CardDav, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString& href : hrefs)
        xml.writeTextElement(Dav, QStringLiteral("href"), href);
    xml.writeEndDocument();
    return body;
}

} // namespace carddav
