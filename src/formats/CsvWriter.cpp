#include "formats/CsvWriter.h"

#include "db/engine/Columns.h"
#include "formats/TextCodec.h"

namespace csv {
namespace {

struct ExportedCell
{
    const char* column;
    QString ContactValues::*value;
};

// The columns the detail dialog shows, in the directory's order.
const ExportedCell kCells[] = {
    {"telefon", &ContactValues::telefon},
    {"jmeno", &ContactValues::jmeno},
    {"email", &ContactValues::email},
    {"poznamka", &ContactValues::poznamka},
    {"organizace", &ContactValues::organizace},
    {"skupina", &ContactValues::skupina},
    {"icq", &ContactValues::icq},
    {"skype", &ContactValues::skype},
};

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

const QString kLineEnd = QStringLiteral("\r\n");

} // namespace

QString Cell(const QString& value, QChar separator)
{
    const bool quoted = value.contains(separator) || value.contains(QLatin1Char('"')) ||
                        value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
                        (!value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back())));
    if (!quoted)
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

Writer::Writer(Flavour flavour)
    : m_flavour(flavour), m_separator(flavour == Flavour::Utf8Comma ? QLatin1Char(',') : QLatin1Char(';')),
      m_cp1250("windows-1250", QStringEncoder::Flag::Stateless)
{
    QStringList titles;
    for (const ExportedCell& cell : kCells)
        titles << Cell(db::ColumnTitle(*db::FindColumn(QString::fromLatin1(cell.column))), m_separator);
    if (flavour == Flavour::Utf8Comma)
        m_bytes += exchange::Utf8Mark();
    append(titles.join(m_separator) + kLineEnd, nullptr);
}

bool Writer::add(const ContactValues& contact, QChar* missing)
{
    QString line;
    for (const ExportedCell& cell : kCells) {
        if (cell.value != kCells[0].value)
            line += m_separator;
        line += Cell(contact.*cell.value, m_separator);
    }
    line += kLineEnd;
    if (!append(line, missing))
        return false;
    ++m_written;
    return true;
}

bool Writer::append(const QString& line, QChar* missing)
{
    if (m_flavour == Flavour::Utf8Comma) {
        m_bytes += line.toUtf8();
        return true;
    }
    const QByteArray bytes = m_cp1250.encode(line);
    if (!m_cp1250.hasError()) {
        m_bytes += bytes;
        return true;
    }
    m_cp1250.resetState();
    QByteArray lossy;
    exchange::EncodeCp1250(line, &lossy, missing);
    return false;
}

} // namespace csv
