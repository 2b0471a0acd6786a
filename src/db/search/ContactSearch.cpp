#include "db/search/ContactSearch.h"

#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/PhoneText.h"

namespace db {
namespace {

bool ValidColumn(int column)
{
    return column >= 0 && column <= kAllSearchColumns;
}

QString Literal(const QString& value)
{
    return QLatin1Char('\'') + EscapeQuotes(value) + QLatin1Char('\'');
}

// The WHERE part, empty when the search filters nothing.
QString Where(const ContactSearch& search)
{
    QStringList likes;
    for (const SearchLike& like : SearchLikes(search)) {
        const QLatin1String name(SearchColumn(like.column)->name);
        const QString column =
            like.digits ? QLatin1String(kPhoneDigitsFunction) + QLatin1Char('(') + name + QLatin1Char(')')
                        : QString(name);
        likes << column + QStringLiteral(" like ") + Literal(like.pattern);
    }
    QString condition = likes.join(QStringLiteral(" or "));
    if (likes.size() > 1 && (search.group || search.form == ContactSearch::Form::TitleClick))
        condition = QLatin1Char('(') + condition + QLatin1Char(')');
    if (!search.group)
        return condition.isEmpty() ? condition : QStringLiteral("where ") + condition;
    const QString group = QStringLiteral("skupina=") + Literal(*search.group);
    if (condition.isEmpty())
        return QStringLiteral("where ") + group;
    return search.form == ContactSearch::Form::Search
               ? QStringLiteral("where ") + group + QStringLiteral(" and ") + condition
               : QStringLiteral("where ") + condition + QStringLiteral(" and ") + group;
}

} // namespace

QList<SearchLike> SearchLikes(const ContactSearch& search)
{
    QList<SearchLike> likes;
    if (!ValidColumn(search.column) ||
        (search.form == ContactSearch::Form::TitleClick && search.text.isEmpty()))
        return likes;
    const int first = search.column == kAllSearchColumns ? 0 : search.column;
    const int last = search.column == kAllSearchColumns ? kSearchColumnCount - 1 : search.column;
    // Finds every number the grouped text finds, and those grouped otherwise.
    const QString digits = PhoneSearchDigits(search.text);
    for (int place = first; place <= last; ++place) {
        const bool phone = SearchColumn(place)->phone;
        if (phone && !digits.isEmpty()) {
            likes.append({place, QLatin1Char('%') + digits + QLatin1Char('%'), true});
            continue;
        }
        const QString text = phone ? FormatPhone(search.text) : search.text;
        likes.append({place, QLatin1Char('%') + text + QLatin1Char('%')});
    }
    return likes;
}

QString SearchRowsStatement(const ContactSearch& search)
{
    if (search.form == ContactSearch::Form::Search && !ValidColumn(search.column))
        return QString();
    const QString where = Where(search);
    return where.isEmpty() ? QStringLiteral("select * from zvonisty")
                           : QStringLiteral("select * from zvonisty ") + where;
}

QString BuildSearchStatement(const ContactSearch& search)
{
    const QString rows = SearchRowsStatement(search);
    if (rows.isEmpty())
        return rows;
    return rows + QStringLiteral(" order by ") + search.orderColumn +
           (search.descending ? QStringLiteral(" desc") : QString());
}

} // namespace db
