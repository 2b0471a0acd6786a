#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <iterator>

// One contact row of the directory.
struct ContactValues
{
    QString telefon, jmeno, email, poznamka, datum, organizace, skupina, icq, skype;
};

// A date as the directory writes it: day.month.year without leading zeros (5.3.2009).
QString DateText(const QDate& date);

namespace db {

// One column of a contact, and where the program shows, searches and carries it.
struct ContactColumn
{
    const char* name;
    // How the user knows the column (UTF-8), as the detail dialog labels it.
    const char* title;
    // The longest value the program stores.
    int width;
    // Place in the grid's designed order; -1 when the grid does not show it.
    int gridPlace;
    // Place in the search column choice; -1 when it is not searched.
    int searchPlace;
    // The search box's hint after a search by the column (UTF-8).
    const char* searchHint;
    // Place in an exported list; -1 when it is not exported.
    int exportPlace;
    // Key of a business card line ("telefon" for "telefon=..."); null when cards do not carry it.
    const char* cardKey;
    // The contact record's member that holds the column.
    QString ContactValues::*member;
    // Place in the detail dialog, whose order the check of widths follows; -1 when not typed.
    int dialogPlace;
    // Place in what makes rows one person (all but the number); -1 when not part of it.
    int personPlace;
    // The engine keeps an index of it, for searches, sorts and the duplicate check.
    bool indexed;
    // The structure version of the directory file that brought the column.
    int since;
    // Numbers are stored normalised, so a searched number is normalised too.
    bool phone = false;
};

// In the order of the contacts table.
inline constexpr ContactColumn kContactColumns[] = {
    // name, title, width, grid, search, hint, export, card key, member, dialog, person, indexed, since
    {"telefon", "Telefon", 20, 0, 2, "Dle Telefonu", 1, "telefon", &ContactValues::telefon, 0, -1, true, 1,
     true},
    {"jmeno", "Jméno", 150, 1, 0, "Dle Jména", 0, "jmeno", &ContactValues::jmeno, 1, 0, true, 1},
    {"email", "Email", 50, 3, 4, "Dle Emailu", 2, "email", &ContactValues::email, 3, 1, true, 1},
    {"poznamka", "Poznámka", 50, 4, 1, "Dle Poznámky", 3, "poznamka", &ContactValues::poznamka, 4, 3, true,
     1},
    {"datum", "Datum", 50, -1, -1, nullptr, -1, nullptr, &ContactValues::datum, -1, -1, false, 1},
    {"organizace", "Organizace", 100, 2, 3, "Dle Organizace", 4, "organizace", &ContactValues::organizace, 2,
     2, true, 1},
    {"skupina", "Skupina", 20, -1, -1, nullptr, -1, "skupina", &ContactValues::skupina, 7, 4, true, 1},
    {"icq", "ICQ", 15, -1, -1, nullptr, 5, "icq", &ContactValues::icq, 5, 5, false, 2},
    {"skype", "Skype", 50, -1, -1, nullptr, 6, "skype", &ContactValues::skype, 6, 6, false, 2},
};

constexpr int CountPlaces(int ContactColumn::*place)
{
    int count = 0;
    for (const ContactColumn& c : kContactColumns)
        count += c.*place >= 0 ? 1 : 0;
    return count;
}

// The column at a place of one of the orders above; null outside it.
constexpr const ContactColumn* ColumnAt(int ContactColumn::*place, int at)
{
    for (const ContactColumn& c : kContactColumns)
        if (at >= 0 && c.*place == at)
            return &c;
    return nullptr;
}

inline constexpr int kContactColumnCount = int(std::size(kContactColumns));
inline constexpr int kGridColumnCount = CountPlaces(&ContactColumn::gridPlace);
inline constexpr int kSearchColumnCount = CountPlaces(&ContactColumn::searchPlace);
inline constexpr int kExportColumnCount = CountPlaces(&ContactColumn::exportPlace);
inline constexpr int kDialogColumnCount = CountPlaces(&ContactColumn::dialogPlace);
inline constexpr int kPersonColumnCount = CountPlaces(&ContactColumn::personPlace);

// The searched column at a place of the search column choice; null outside it.
constexpr const ContactColumn* SearchColumn(int place)
{
    return ColumnAt(&ContactColumn::searchPlace, place);
}

// The place of the searched column that holds numbers.
constexpr int PhoneSearchPlace()
{
    for (const ContactColumn& c : kContactColumns)
        if (c.phone)
            return c.searchPlace;
    return -1;
}

// The column of that name (exact, lower case); null for any other.
const ContactColumn* FindColumn(QStringView name);

inline QString ColumnName(const ContactColumn& column)
{
    return QLatin1String(column.name);
}

inline QString ColumnTitle(const ContactColumn& column)
{
    return QString::fromUtf8(column.title);
}

// The names of the columns the grid shows, in its designed order.
const QStringList& GridColumnNames();

// The columns in the order of the table, each after `prefix` ("z." gives "z.telefon, z.jmeno, ...").
QString ColumnList(QLatin1StringView prefix = {});

// The column's value in a contact.
inline const QString& ValueOf(const ContactValues& contact, const ContactColumn& column)
{
    return contact.*column.member;
}
inline QString& ValueOf(ContactValues& contact, const ContactColumn& column)
{
    return contact.*column.member;
}

// The column that a member of the contact record holds.
const ContactColumn& ColumnOf(QString ContactValues::*member);

// What makes rows one person: every value but the number, in the person order.
QStringList PersonKey(const ContactValues& contact);

// The rows grouped by person (PersonKey), in the order each person first appears.
template <typename Row, typename ValuesOf>
QList<QList<Row>> GroupByPerson(const QList<Row>& rows, ValuesOf valuesOf)
{
    QList<QList<Row>> people;
    QHash<QStringList, qsizetype> byPerson;
    for (const Row& row : rows) {
        const auto found = byPerson.constFind(PersonKey(valuesOf(row)));
        if (found == byPerson.cend()) {
            byPerson.insert(PersonKey(valuesOf(row)), people.size());
            people.append({row});
        } else {
            people[*found].append(row);
        }
    }
    return people;
}

// The name the user knows a contact's column by, as the detail dialog labels it ("Jméno" for
// jmeno); the column's own name for any other.
QString ColumnLabel(const QString& column);

} // namespace db
