#include "formats/CardFormat.h"

#include "formats/TextCodec.h"

#include <QFileInfo>
#include <utility>

namespace cards {
namespace {

const QString kHeader = QStringLiteral("[Vizitka]");
const QString kEol = QStringLiteral("\r\n");

struct Key
{
    QString key;
    QString label; // how the user knows the field
    QString ContactValues::*field;
};

// The card's lines in the order of the column table; the labels are those of the card's messages.
const QList<Key>& Keys()
{
    static const QList<Key> keys = [] {
        const std::pair<QString ContactValues::*, const char16_t*> labels[] = {
            {&ContactValues::jmeno, u"jméno"},
            {&ContactValues::email, u"e-mail"},
            {&ContactValues::poznamka, u"poznámka"},
            {&ContactValues::icq, u"ICQ"},
            {&ContactValues::skype, u"Skype"}};
        auto labelOf = [&labels](const db::ContactColumn& c) {
            for (const auto& [member, label] : labels)
                if (member == c.member)
                    return QString::fromUtf16(label);
            return QString::fromLatin1(c.cardKey);
        };
        QList<Key> list;
        for (const db::ContactColumn& c : db::kContactColumns)
            if (c.cardKey)
                list.append({QLatin1String(c.cardKey) + QLatin1Char('='), labelOf(c), c.member});
        return list;
    }();
    return keys;
}

// Lines end with CR LF, LF or CR alone, as a line-by-line reader takes them.
QStringList Lines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

} // namespace

QString CardFileName(const QString& chosen)
{
    const QString name = QFileInfo(chosen).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    if (extension.toUpper() == QLatin1String(".VIZ"))
        return chosen;
    return chosen + QStringLiteral(".viz");
}

QString CardText(const ContactValues& values)
{
    QString text = kHeader + kEol;
    for (const Key& key : Keys())
        text += key.key + values.*key.field + kEol;
    return text;
}

EncodedCard EncodeCard(const ContactValues& values)
{
    EncodedCard card;
    exchange::EncodeCp1250(CardText(values), &card.bytes);
    for (const Key& key : Keys()) {
        QByteArray ignored;
        QChar missing;
        if (!exchange::EncodeCp1250(values.*key.field, &ignored, &missing)) {
            if (card.lossyFields.isEmpty()) {
                // The whole character, when it lies beyond the basic plane.
                const QString& value = values.*key.field;
                const qsizetype at = value.indexOf(missing);
                card.firstMissing =
                    missing.isHighSurrogate() && at >= 0 ? value.mid(at, 2) : QString(missing);
            }
            card.lossyFields.append(key.label);
        }
    }
    return card;
}

ReadCard ParseCard(const QString& text)
{
    ReadCard card;
    const QStringList lines = Lines(text);
    if (lines.isEmpty() || lines.first() != kHeader)
        return card;
    card.valid = true;
    // Only at the line's start: a note "call skype=abc" must not set the Skype name.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        for (const Key& key : Keys()) {
            const QString k = key.key;
            if (line.startsWith(k)) {
                card.values.*key.field = line.mid(k.size());
                card.lines.append({key.field, int(i + 1)});
                break;
            }
        }
    }
    return card;
}

int ReadCard::lineOf(QString ContactValues::*field) const
{
    // The last line of the key is the one that counts.
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        if (lines.at(i).first == field)
            return lines.at(i).second;
    return 0;
}

ReadCard ParseCardBytes(const QByteArray& bytes)
{
    return ParseCard(exchange::DecodeText(bytes));
}

} // namespace cards
