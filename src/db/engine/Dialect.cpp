#include "db/engine/Dialect.h"

#include "db/engine/Columns.h"

#include <QRegularExpression>
#include <QStringList>

QString EscapeQuotes(const QString& text)
{
    QString result = text;
    result.replace(QLatin1Char('\''), QStringLiteral("''"));
    return result;
}

namespace db {
namespace {

// Applies `rewrite` to the parts of the statement that are not inside single-quoted values.
template <typename Rewrite> QString OutsideQuotes(const QString& statement, Rewrite rewrite)
{
    QString result;
    result.reserve(statement.size() + 64);
    qsizetype i = 0;
    const qsizetype n = statement.size();
    while (i < n) {
        qsizetype quote = statement.indexOf(QLatin1Char('\''), i);
        if (quote < 0)
            quote = n;
        result += rewrite(statement.mid(i, quote - i));
        if (quote >= n)
            break;
        // A quoted value ends at the next single quote that is not doubled.
        qsizetype j = quote + 1;
        while (j < n) {
            if (statement.at(j) == QLatin1Char('\'')) {
                if (j + 1 < n && statement.at(j + 1) == QLatin1Char('\'')) {
                    j += 2;
                    continue;
                }
                break;
            }
            ++j;
        }
        const qsizetype end = j < n ? j + 1 : n;
        result += statement.mid(quote, end - quote);
        i = end;
    }
    return result;
}

bool IsSchemaStatement(const QString& statement)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(create\\s+table|alter\\s+table)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(statement).hasMatch();
}

QString RewriteSchema(const QString& part)
{
    static const QRegularExpression constraint(
        QStringLiteral("^\\s*alter\\s+table\\s+(\\w+)\\s+add\\s+constraint\\s+(\\w+)\\s+primary\\s+key\\s*"
                       "\\(([^)]*)\\)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = constraint.match(part); m.hasMatch())
        return QStringLiteral("create unique index %1 on %2 (%3)")
            .arg(m.captured(2), m.captured(1), m.captured(3));

    static const QRegularExpression varchar(QStringLiteral("\\b(\\w+)\\s+varchar\\s*\\(\\s*(\\d+)\\s*\\)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression longText(
        QStringLiteral("\\b(\\w+)\\s+(text|memo|longtext)\\b(?!\\s+collate)"),
        QRegularExpression::CaseInsensitiveOption);
    QString s = part;
    s.replace(varchar, QStringLiteral("\\1 varchar(\\2) collate cz check(length(\\1) <= \\2)"));
    s.replace(longText, QStringLiteral("\\1 text collate cz"));
    return s;
}

// The statement with the contents of its quoted values left out, so that words inside them are
// not taken for the statement's own; what follows the last quote is the same in both.
QString WithoutQuotedValues(const QString& statement)
{
    QString outside;
    bool quoted = false;
    for (const QChar c : statement) {
        if (c == QLatin1Char('\''))
            quoted = !quoted; // a doubled quote closes and opens again
        else if (quoted)
            continue;
        outside += c;
    }
    return outside;
}

// A select of contacts ordered by columns gets the key as its last order: equal values then come
// in the order of their ids (backwards for a descending order), which no plan of the engine
// changes and the search index gives as well. An index on the order column still serves, as the
// key ends every index entry.
QString WithKeyLast(const QString& statement)
{
    if (!statement.contains(QLatin1String("order"), Qt::CaseInsensitive))
        return statement;
    static const QRegularExpression ordered(
        QStringLiteral("^\\s*select\\s+(?!distinct\\b)[^()]*?\\bfrom\\s+zvonisty\\b(?!\\s*,)"
                       "(?:(?!\\b(?:join|group|union|intersect|except|limit)\\b).)*"
                       "\\border\\s+by\\s+((?:\\w+(?:\\s+(?:asc|desc))?\\s*,\\s*)*\\w+(?:\\s+(asc|desc))?)"
                       "\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QString outside = WithoutQuotedValues(statement);
    const QRegularExpressionMatch m = ordered.match(outside);
    if (!m.hasMatch())
        return statement;
    static const QRegularExpression key(QStringLiteral("(^|,)\\s*(id|rowid)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (key.match(m.captured(1)).hasMatch())
        return statement;
    const qsizetype at = statement.size() - (outside.size() - m.capturedEnd(1));
    const bool descending = m.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
    return statement.left(at) + (descending ? QStringLiteral(", id desc") : QStringLiteral(", id")) +
           statement.mid(at);
}

} // namespace

QString LocalNowExpression()
{
    return QStringLiteral("(cast(strftime('%d','now','localtime') as integer) || '.' || "
                          "cast(strftime('%m','now','localtime') as integer) || '.' || "
                          "strftime('%Y','now','localtime') || ' ' || "
                          "cast(strftime('%H','now','localtime') as integer) || "
                          "strftime(':%M:%S','now','localtime'))");
}

QString TranslateStatement(const QString& statement)
{
    const bool schema = IsSchemaStatement(statement);
    const bool hasNow = statement.contains(QLatin1String("date()"), Qt::CaseInsensitive);
    if (!schema && !hasNow)
        return WithKeyLast(statement);
    if (schema && statement.contains(QLatin1String("constraint"), Qt::CaseInsensitive) &&
        !statement.contains(QLatin1Char('\'')))
        return RewriteSchema(statement);
    return OutsideQuotes(statement, [&](const QString& part) {
        QString s = part;
        if (hasNow) {
            static const QRegularExpression now(QStringLiteral("date\\(\\s*\\)\\s*\\+\\s*time\\(\\s*\\)"),
                                                QRegularExpression::CaseInsensitiveOption);
            s.replace(now, LocalNowExpression());
        }
        return schema ? RewriteSchema(s) : s;
    });
}

QString VarcharColumn(const QString& name, int width)
{
    return QStringLiteral("%1 varchar(%2) collate cz check(length(%1) <= %2)").arg(name).arg(width);
}

QStringList BaseSchemaStatements()
{
    return {
        TranslateStatement(QStringLiteral(
            "create table zvonisty (id integer primary key autoincrement, telefon varchar(20), "
            "jmeno varchar(150), email varchar(50), poznamka varchar(50), datum varchar(50), "
            "organizace varchar(100), skupina varchar(20))")),
        QStringLiteral("create table poznamky (id integer, pozn text collate cz, dat datetime default ") +
            LocalNowExpression() + QStringLiteral(")"),
    };
}

QStringList IndexStatements(const QStringList& columns)
{
    QStringList list;
    for (const ContactColumn& column : kContactColumns)
        if (column.indexed && columns.contains(ColumnName(column)))
            list << QStringLiteral("create index if not exists ix_zvonisty_%1 on zvonisty (%1)")
                        .arg(QLatin1String(column.name));
    list << QStringLiteral("create index if not exists ix_poznamky_id on poznamky (id)");
    return list;
}

} // namespace db
