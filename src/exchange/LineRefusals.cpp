#include "exchange/LineRefusals.h"

namespace exchange {
namespace {

constexpr int kNamed = 10;

} // namespace

void LineRefusals::refuse(qint64 line, const QString& why)
{
    if (++m_count <= kNamed)
        m_named << QStringLiteral("Řádek %1: %2").arg(line).arg(why);
}

QString LineRefusals::text() const
{
    QString text = QStringLiteral("Některé řádky souboru nebyly načteny (celkem %1):\n").arg(m_count) +
                   m_named.join(QLatin1Char('\n'));
    if (m_count > m_named.size())
        text += QStringLiteral("\n… a další řádky (%1).").arg(m_count - m_named.size());
    return text;
}

} // namespace exchange
