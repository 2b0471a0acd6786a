#include "sync/SyncTexts.h"

#include "sync/CardEdit.h"
#include "sync/Synchronizer.h"

#include <QPair>

namespace synchro {
namespace {

// "odesláno karet 2, přijato 1", of the counts that are not zero unless `all`.
QString CountsText(const SyncCounts& c, bool all)
{
    const QList<QPair<const char*, int>> counts = {{"odesláno karet", c.sent},
                                                   {"přijato", c.received},
                                                   {"smazáno zde", c.deletedHere},
                                                   {"smazáno na serveru", c.deletedThere},
                                                   {"konfliktů", c.conflicts}};
    QStringList parts;
    for (const auto& [label, count] : counts)
        if (all || count != 0)
            parts << QString::fromUtf8(label) + QLatin1Char(' ') + QString::number(count);
    return parts.join(QStringLiteral(", "));
}

// What the run left for the next one, or could not take at all.
QString Remainders(const SyncOutcome& outcome)
{
    const SyncCounts& c = outcome.counts;
    QString text;
    if (c.notReceived > 0)
        text += QStringLiteral(" Karet, které server nedodal: %1; příští synchronizace si o ně řekne znovu.")
                    .arg(c.notReceived);
    if (c.refused > 0)
        text += QStringLiteral(" Karet, které server odmítl, protože se na něm mezitím změnily: %1; příští "
                               "synchronizace je vyrovná.")
                    .arg(c.refused);
    if (c.notTaken > 0) {
        QStringList named = outcome.notTaken.mid(0, 5);
        if (outcome.notTaken.size() > 5)
            named << QStringLiteral("…");
        text += QStringLiteral(" Karet, které program nemůže převzít a nechal je na serveru: %1 (%2).")
                    .arg(c.notTaken)
                    .arg(named.join(QStringLiteral(", ")));
    }
    if (c.longNumbers > 0)
        text += QStringLiteral(" Kontaktů s číslem delším, než seznam pojme: %1; celé číslo je v jejich "
                               "doplňující poznámce.")
                    .arg(c.longNumbers);
    return text;
}

} // namespace

// The local values that lost against the server's, as the note that keeps them.
QString LostValues(const QList<ContactValues>& rows)
{
    const vcard::Contact person = PersonOf(rows);
    const ContactValues& v = person.values;
    QStringList phones{v.telefon};
    phones += person.furtherPhones;
    phones.removeAll(QString());
    QStringList parts;
    const QList<QPair<QString, QString>> fields = {
        {QStringLiteral("Jméno"), v.jmeno},       {QStringLiteral("Telefon"), phones.join(u", ")},
        {QStringLiteral("Email"), v.email},       {QStringLiteral("Organizace"), v.organizace},
        {QStringLiteral("Poznámka"), v.poznamka}, {QStringLiteral("Skupina"), v.skupina},
        {QStringLiteral("ICQ"), v.icq},           {QStringLiteral("Skype"), v.skype}};
    for (const auto& [label, value] : fields)
        if (!value.isEmpty())
            parts << label + QStringLiteral(": ") + value;
    return QStringLiteral("Místní změna před synchronizací: ") + parts.join(QStringLiteral("; "));
}

QString SyncSummary(const SyncOutcome& outcome)
{
    if (outcome.ok)
        return QStringLiteral("Synchronizace dokončena: ") + CountsText(outcome.counts, true) +
               QLatin1Char('.') + Remainders(outcome);
    const QString done = CountsText(outcome.counts, false);
    if (outcome.interrupted)
        return QStringLiteral("Synchronizace byla přerušena; příští ji dokončí.") +
               (done.isEmpty() ? QString() : QStringLiteral(" Zatím ") + done + QLatin1Char('.')) +
               Remainders(outcome);
    return QStringLiteral("Synchronizace se nezdařila: ") + outcome.error +
           (done.isEmpty()
                ? QString()
                : QStringLiteral(" Příští synchronizace naváže; do té doby ") + done + QLatin1Char('.')) +
           Remainders(outcome);
}

QString EmptiedQuestion(const EmptiedSide& side)
{
    if (side.server)
        return QStringLiteral("Na serveru byly od poslední synchronizace smazány všechny karty. Smazat také "
                              "zde kontakty (%1)?\n\nNe: kontakty zůstanou a odešlou se na server znovu.")
            .arg(side.count);
    return QStringLiteral("Zde byly od poslední synchronizace smazány všechny synchronizované kontakty. "
                          "Smazat také karty na serveru (%1)?\n\nNe: karty zůstanou na serveru a vrátí se "
                          "sem.")
        .arg(side.count);
}

} // namespace synchro
