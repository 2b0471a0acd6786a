#include "exchange/ImportLine.h"

#include "db/PhoneText.h"

namespace exchange {
namespace {

// Takes the next column from the front of `rest`: the text before the first ";" (the rest then
// starts after it), or the whole rest when it holds none.
QStringView CutColumn(QStringView& rest)
{
    const qsizetype separator = rest.indexOf(QLatin1Char(';'));
    if (separator < 0) {
        const QStringView column = rest;
        rest = QStringView();
        return column;
    }
    const QStringView column = rest.left(separator);
    rest = rest.mid(separator + 1);
    return column;
}

} // namespace

ImportLine ParseImportLine(QStringView line)
{
    ImportLine row;
    QString* const columns[] = {&row.jmeno,      &row.telefon, &row.email, &row.poznamka,
                                &row.organizace, &row.icq,     &row.skype};
    QStringView rest = line;
    for (QString* column : columns) {
        if (rest.isEmpty())
            break;
        *column = CutColumn(rest).toString();
    }
    row.telefon = FormatPhone(row.telefon);
    while (!rest.isEmpty())
        row.furtherPhones << FormatPhone(CutColumn(rest).toString());
    return row;
}

QStringView LineReader::next()
{
    m_started = true;
    const qsizetype end = m_text.indexOf(QLatin1Char('\n'), m_position);
    QStringView line;
    if (end < 0) {
        line = QStringView(m_text).mid(m_position);
        m_position = m_text.size();
        return line;
    }
    line = QStringView(m_text).mid(m_position, end - m_position);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    m_position = end + 1;
    return line;
}

} // namespace exchange
