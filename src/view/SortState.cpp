#include "view/SortState.h"

#include "view/SearchStatement.h"

namespace {

qsizetype FieldIndex(const QString& field)
{
    return GridFields().indexOf(field);
}

} // namespace

const QStringList& GridFields()
{
    static const QStringList fields{QStringLiteral("telefon"), QStringLiteral("jmeno"), QStringLiteral("organizace"),
                                    QStringLiteral("email"), QStringLiteral("poznamka")};
    return fields;
}

bool SortState::SortedAscending(const QString& field) const
{
    const qsizetype i = FieldIndex(field);
    return i >= 0 && m_ascending[static_cast<size_t>(i)];
}

void SortState::setSortedAscending(const QString& field, bool ascending)
{
    const qsizetype i = FieldIndex(field);
    if (i >= 0)
        m_ascending[static_cast<size_t>(i)] = ascending;
}

QString PlainTitle(const QString& field)
{
    // The telefon column is titled after the program.
    static const QStringList titles{QStringLiteral("Zvonisty"), QStringLiteral("Jméno"), QStringLiteral("Organizace"),
                                    QStringLiteral("Email"), QStringLiteral("Poznámka")};
    const qsizetype i = FieldIndex(field);
    return i >= 0 ? titles.at(i) : QString();
}

QString AscendingTitle(const QString& field)
{
    const QString plain = PlainTitle(field);
    return plain.isEmpty() ? plain : plain + QStringLiteral("  «");
}

QString DescendingTitle(const QString& field)
{
    const QString plain = PlainTitle(field);
    return plain.isEmpty() ? plain : plain + QStringLiteral("  »");
}

QString TitleFor(const SortState& state, const QString& field)
{
    if (field != state.SortColumn)
        return PlainTitle(field);
    return state.SortedAscending(field) ? AscendingTitle(field) : DescendingTitle(field);
}

QString EncodeSortDirection(const SortState& state, const QString& field)
{
    if (FieldIndex(field) < 0)
        return QString();
    return state.SortedAscending(field) ? QStringLiteral("0") : QStringLiteral("1");
}

void DecodeSortDirection(SortState& state, const QString& field, const QString& text)
{
    state.setSortedAscending(field, text == QLatin1String("0"));
}

SortClickResult ApplyTitleClick(SortState& state, const QString& field, int index, const QString& text, const QString& group)
{
    SortClickResult result;
    if (FieldIndex(field) < 0)
        return result;
    const bool descending = state.SortedAscending(field);
    state.SortColumn = field;
    state.SortOrderBy = descending ? field + QStringLiteral(" desc") : field;
    state.setSortedAscending(field, !descending);
    result.handled = true;
    result.descending = descending;
    result.statement = BuildSortStatement(field, descending, index, text, group);
    return result;
}
