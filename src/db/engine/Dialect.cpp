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
        return statement;
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

QStringList IndexStatements()
{
    QStringList list;
    for (const ContactColumn& column : kContactColumns)
        if (column.indexed)
            list << QStringLiteral("create index if not exists ix_zvonisty_%1 on zvonisty (%1)")
                        .arg(QLatin1String(column.name));
    list << QStringLiteral("create index if not exists ix_poznamky_id on poznamky (id)");
    return list;
}

} // namespace db
