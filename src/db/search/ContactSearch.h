#pragma once

#include "db/engine/Columns.h"

#include <QList>
#include <QString>

#include <optional>

namespace db {

// The place of the search column choice that searches every searched column.
inline constexpr int kAllSearchColumns = kSearchColumnCount;

// What the search bar or a click on a grid title asks of the contacts: which rows, in which
// order, and whether their texts are compared without accents.
struct ContactSearch
{
    enum class Form {
        // The search bar's search: the text condition even for an empty text (like '%%'),
        // after the group.
        Search,
        // A title click keeping the bar's filter: the text condition only for a text, before
        // the group.
        TitleClick,
    };
    Form form = Form::Search;
    QString text;
    // A place of the search column choice, or kAllSearchColumns.
    int column = 0;
    // None: every group.
    std::optional<QString> group;
    QString orderColumn;
    bool descending = false;
    bool ignoreAccents = false;
};

// A LIKE condition of a search: the searched column's place and the pattern, unescaped.
struct SearchLike
{
    int column = 0;
    QString pattern;
    // Compares the column's number read without blanks and separators (PhoneSearchDigits).
    bool digits = false;
};

// The "or" of LIKE conditions the search filters by; empty when it has no text condition.
QList<SearchLike> SearchLikes(const ContactSearch& search);

// The statement a search stands for, as the engine runs it and the user reads it; empty for a
// search by a column outside the choice.
QString BuildSearchStatement(const ContactSearch& search);
// The same rows without their order, for counting them.
QString SearchRowsStatement(const ContactSearch& search);

} // namespace db
