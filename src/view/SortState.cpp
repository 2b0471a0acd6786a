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
    return db::GridColumnNames();
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
    if (FieldIndex(field) < 0)
        return QString();
    // The telefon column is titled after the program.
    return field == QLatin1String("telefon") ? QStringLiteral("Zvonisty")
                                             : db::ColumnTitle(*db::FindColumn(field));
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

SortClickResult ApplyTitleClick(SortState& state, const QString& field, int index, const QString& text,
                                const QString& group)
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
    result.search = BarSearch(index, text, group);
    result.search.form = db::ContactSearch::Form::TitleClick;
    result.search.orderColumn = field;
    result.search.descending = descending;
    return result;
}

QString OrderColumn(const SortState& state)
{
    return OrderDescending(state) ? state.SortOrderBy.chopped(5) : state.SortOrderBy;
}

bool OrderDescending(const SortState& state)
{
    return state.SortOrderBy.endsWith(QLatin1String(" desc"));
}
