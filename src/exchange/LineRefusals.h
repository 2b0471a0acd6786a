#pragma once

#include <QString>
#include <QStringList>

namespace exchange {

// The rows of a file an import left out: the first few named by their line and why, the
// rest counted.
class LineRefusals
{
public:
    void refuse(qint64 line, const QString& why);
    int count() const { return m_count; }
    // "Některé řádky souboru nebyly načteny (celkem 12):" and the named rows, one a line.
    QString text() const;

private:
    int m_count = 0;
    QStringList m_named;
};

} // namespace exchange
