#include "view/SearchStatement.h"

#include "db/PhoneText.h"

namespace {

// The five searchable columns, in the order of the search column index.
constexpr const char* SearchColumns[] = {"jmeno", "poznamka", "telefon", "organizace", "email"};
constexpr int TelefonIndex = 2;
constexpr int AllIndex = 5;

QString Like(const char* column, const QString& value)
{
    return QLatin1String(column) + QStringLiteral(" like '%") + value + QStringLiteral("%'");
}

// The text condition for one index. The telefon column is matched against the
// normalised number, since numbers are stored in that form.
QString TextCondition(int index, const QString& text)
{
    const QString t = EscapeQuotes(text);
    const QString p = EscapeQuotes(FormatPhone(text));
    if (index == AllIndex) {
        QString all;
        for (int i = 0; i < AllIndex; ++i) {
            if (i > 0)
                all += QStringLiteral(" or ");
            all += Like(SearchColumns[i], i == TelefonIndex ? p : t);
        }
        return all;
    }
    return Like(SearchColumns[index], index == TelefonIndex ? p : t);
}

bool ValidIndex(int index)
{
    return index >= 0 && index <= AllIndex;
}

} // namespace

QString AllGroups()
{
    return QStringLiteral("Vše");
}


QString BuildSearchStatement(int index, const QString& text, const QString& group, const QString& orderBy)
{
    if (!ValidIndex(index))
        return QString();
    QString statement = QStringLiteral("select * from zvonisty where ");
    const QString condition = TextCondition(index, text);
    if (group == AllGroups())
        statement += condition;
    else if (index == AllIndex)
        statement += QStringLiteral("skupina='") + EscapeQuotes(group) + QStringLiteral("' and (") + condition + QLatin1Char(')');
    else
        statement += QStringLiteral("skupina='") + EscapeQuotes(group) + QStringLiteral("' and ") + condition;
    return statement + QStringLiteral(" order by ") + orderBy;
}

QString BuildSortStatement(const QString& column, bool descending, int index, const QString& text, const QString& group)
{
    QString where;
    if (!text.isEmpty() && ValidIndex(index)) {
        const QString condition = TextCondition(index, text);
        where = index == AllIndex ? QStringLiteral("where (") + condition + QLatin1Char(')') : QStringLiteral("where ") + condition;
    }
    if (group != AllGroups()) {
        const QString groupCondition = QStringLiteral("skupina='") + EscapeQuotes(group) + QLatin1Char('\'');
        where = where.isEmpty() ? QStringLiteral("where ") + groupCondition : where + QStringLiteral(" and ") + groupCondition;
    }
    QString statement = where.isEmpty() ? QStringLiteral("select * from zvonisty order by ")
                                        : QStringLiteral("select * from zvonisty ") + where + QStringLiteral(" order by ");
    statement += column;
    if (descending)
        statement += QStringLiteral(" desc");
    return statement;
}

QString SearchHint(int index)
{
    static const char* const hints[] = {"Dle Jména", "Dle Poznámky", "Dle Telefonu", "Dle Organizace", "Dle Emailu", "Vše"};
    return ValidIndex(index) ? QString::fromUtf8(hints[index]) : QString();
}
