#include "formats/CsvMapping.h"

#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"

#include <QCryptographicHash>

#include <algorithm>
#include <iterator>

namespace csv {
namespace {

struct FieldInfo
{
    Field field;
    const char* key;   // in the settings; a directory column's name where it is one
    const char* title; // UTF-8; null for a directory column, which has its own
};

const FieldInfo kFields[] = {
    {Field::Unused, "", "nepoužít"},
    {Field::Phone, "telefon", nullptr},
    {Field::Name, "jmeno", nullptr},
    {Field::GivenName, "krestni", "Křestní jméno"},
    {Field::FamilyName, "prijmeni", "Příjmení"},
    {Field::Email, "email", nullptr},
    {Field::Note, "poznamka", nullptr},
    {Field::Organization, "organizace", nullptr},
    {Field::Group, "skupina", nullptr},
    {Field::Icq, "icq", nullptr},
    {Field::Skype, "skype", nullptr},
};

const FieldInfo& InfoOf(Field field)
{
    for (const FieldInfo& info : kFields)
        if (info.field == field)
            return info;
    return kFields[0];
}

// A header as an export writes it; "#" stands for the number of a repeated column.
struct KnownColumn
{
    const char* header; // UTF-8
    Field field;
};

const KnownColumn kGoogle[] = {
    {"Name", Field::Name},
    {"Given Name", Field::GivenName},
    {"Family Name", Field::FamilyName},
    {"First Name", Field::GivenName},
    {"Last Name", Field::FamilyName},
    {"Notes", Field::Note},
    {"Group Membership", Field::Group},
    {"Labels", Field::Group},
    {"E-mail # - Value", Field::Email},
    {"Phone # - Value", Field::Phone},
    {"Organization # - Name", Field::Organization},
    {"Organization Name", Field::Organization},
};

// The Czech headers are those of the program's Czech edition that could be established; the
// user maps any other.
const KnownColumn kOutlook[] = {
    {"First Name", Field::GivenName},
    {"Last Name", Field::FamilyName},
    {"Company", Field::Organization},
    {"E-mail Address", Field::Email},
    {"E-mail # Address", Field::Email},
    {"Business Phone", Field::Phone},
    {"Business Phone #", Field::Phone},
    {"Home Phone", Field::Phone},
    {"Home Phone #", Field::Phone},
    {"Mobile Phone", Field::Phone},
    {"Primary Phone", Field::Phone},
    {"Other Phone", Field::Phone},
    {"Company Main Phone", Field::Phone},
    {"Notes", Field::Note},
    {"Categories", Field::Group},
    {"Křestní jméno", Field::GivenName},
    {"Příjmení", Field::FamilyName},
    {"Společnost", Field::Organization},
    {"E-mailová adresa", Field::Email},
    {"Telefon do zaměstnání", Field::Phone},
    {"Telefon domů", Field::Phone},
    {"Mobilní telefon", Field::Phone},
    {"Poznámky", Field::Note},
    {"Kategorie", Field::Group},
};

const KnownColumn kThunderbird[] = {
    {"First Name", Field::GivenName},
    {"Last Name", Field::FamilyName},
    {"Display Name", Field::Name},
    {"Primary Email", Field::Email},
    {"Work Phone", Field::Phone},
    {"Home Phone", Field::Phone},
    {"Mobile Number", Field::Phone},
    {"Organization", Field::Organization},
    {"Notes", Field::Note},
    {"Křestní jméno", Field::GivenName},
    {"Příjmení", Field::FamilyName},
    {"Zobrazené jméno", Field::Name},
    {"První e-mail", Field::Email},
    {"Telefon do zaměstnání", Field::Phone},
    {"Telefon domů", Field::Phone},
    {"Číslo na mobil", Field::Phone},
    {"Společnost", Field::Organization},
    {"Poznámky", Field::Note},
};

// A known export's headers as texts, made once.
struct KnownExport
{
    QString source;
    QList<QPair<QString, Field>> columns;
};

template <typename Columns> KnownExport Known(const char* source, const Columns& columns)
{
    KnownExport known{QString::fromUtf8(source), {}};
    for (const KnownColumn& column : columns)
        known.columns.append({QString::fromUtf8(column.header), column.field});
    return known;
}

// The program's own export: the detail dialog's labels, which its header row carries.
QList<KnownColumn> OwnColumns()
{
    QList<KnownColumn> columns;
    for (const FieldInfo& info : kFields)
        if (const db::ContactColumn* column =
                info.title ? nullptr : db::FindColumn(QString::fromLatin1(info.key)))
            columns.append({column->title, info.field});
    return columns;
}

const QList<KnownExport>& KnownExports()
{
    static const QList<KnownExport> exports{
        Known("export z tohoto programu", OwnColumns()),
        Known("export z Google Contacts", kGoogle),
        Known("export z Thunderbirdu", kThunderbird),
        Known("export z Outlooku", kOutlook),
    };
    return exports;
}

bool HeaderMatches(QStringView cell, const QString& header)
{
    const qsizetype number = header.indexOf(QLatin1Char('#'));
    if (number < 0)
        return cell.compare(header, Qt::CaseInsensitive) == 0;
    const QStringView before = QStringView(header).left(number);
    const QStringView after = QStringView(header).mid(number + 1);
    if (cell.size() <= before.size() + after.size() || !cell.startsWith(before, Qt::CaseInsensitive) ||
        !cell.endsWith(after, Qt::CaseInsensitive))
        return false;
    for (const QChar c : cell.mid(before.size(), cell.size() - before.size() - after.size()))
        if (!c.isDigit())
            return false;
    return true;
}

Field FieldOfHeader(const KnownExport& known, QStringView cell)
{
    for (const auto& [header, field] : known.columns)
        if (HeaderMatches(cell, header))
            return field;
    return Field::Unused;
}

// A cell a header would not hold: an address, or a number of three digits or more.
bool LooksLikeData(const QString& cell)
{
    if (cell.contains(QLatin1Char('@')))
        return true;
    int digits = 0;
    for (const QChar c : cell)
        digits += c.isDigit() ? 1 : 0;
    return digits >= 3;
}

bool AnyData(const Record& row)
{
    return std::any_of(row.cells.begin(), row.cells.end(), LooksLikeData);
}

const QString kJoiner = QStringLiteral(" ::: ");

QStringList ValuesOf(const QString& cell)
{
    QStringList values;
    for (const QString& part : cell.split(kJoiner))
        if (const QString value = part.trimmed(); !value.isEmpty())
            values << value;
    return values;
}

// Google marks its own groups ("* myContacts", "* starred") with a star; they are no group the
// user made.
QString GroupOf(const QString& cell)
{
    for (const QString& value : ValuesOf(cell))
        if (!value.startsWith(QStringLiteral("* ")))
            return value;
    return {};
}

void Keep(QString& field, const QString& value)
{
    if (field.isEmpty())
        field = value;
}

} // namespace

const QList<Field>& OfferedFields()
{
    static const QList<Field> fields = [] {
        QList<Field> all;
        for (const FieldInfo& info : kFields)
            all << info.field;
        return all;
    }();
    return fields;
}

QString FieldTitle(Field field)
{
    const FieldInfo& info = InfoOf(field);
    if (info.title)
        return QString::fromUtf8(info.title);
    const db::ContactColumn* column = db::FindColumn(QString::fromLatin1(info.key));
    return column ? db::ColumnTitle(*column) : QString();
}

Recognition RecogniseExport(const QStringList& header)
{
    Recognition best;
    int bestMatched = 0;
    for (const KnownExport& known : KnownExports()) {
        Mapping mapping(header.size(), Field::Unused);
        int named = 0;
        int matched = 0;
        for (qsizetype i = 0; i < header.size(); ++i) {
            const QString cell = header.at(i).trimmed();
            if (cell.isEmpty())
                continue;
            ++named;
            mapping[i] = FieldOfHeader(known, cell);
            matched += mapping[i] != Field::Unused ? 1 : 0;
        }
        // One known column alone tells the export only when the header holds nothing else.
        const bool recognised = matched >= 2 || (matched == 1 && named == 1);
        if (recognised && matched > bestMatched) {
            best = {known.source, mapping};
            bestMatched = matched;
        }
    }
    return best;
}

Layout RecogniseLayout(QByteArrayView head, bool whole, bool utf8)
{
    Layout layout;
    layout.encoding = EncodingOf(head, utf8);
    layout.separator = SeparatorOf(head, layout.encoding);
    const QList<Record> rows = ReadHead(head, layout.separator, layout.encoding, whole, 2);
    layout.header = !rows.isEmpty() && (RecogniseExport(rows.first().cells) ||
                                        (!AnyData(rows.first()) && (rows.size() < 2 || AnyData(rows.at(1)))));
    return layout;
}

QString MappingText(const Mapping& mapping)
{
    QStringList keys;
    for (const Field field : mapping)
        keys << QLatin1String(InfoOf(field).key);
    return keys.join(QLatin1Char(','));
}

Mapping MappingFromText(const QString& text, qsizetype columns)
{
    const QStringList keys = text.split(QLatin1Char(','));
    Mapping mapping(columns, Field::Unused);
    for (qsizetype i = 0; i < columns && i < keys.size(); ++i)
        for (const FieldInfo& info : kFields)
            if (keys.at(i) == QLatin1String(info.key))
                mapping[i] = info.field;
    return mapping;
}

QString HeaderKey(const QStringList& header)
{
    const QByteArray row = header.join(QChar(0x1F)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(row, QCryptographicHash::Sha1).toHex());
}

QList<ContactValues> ContactsOfRow(const QStringList& cells, const Mapping& mapping, const QString& datum)
{
    ContactValues v;
    QString name, given, family;
    QStringList phones;
    for (qsizetype i = 0; i < cells.size() && i < mapping.size(); ++i) {
        const QString& cell = cells.at(i);
        if (cell.isEmpty())
            continue;
        switch (mapping.at(i)) {
        case Field::Unused:
            break;
        case Field::Phone:
            // Control characters alone are no number: grouping drops them.
            for (const QString& number : ValuesOf(cell))
                if (const QString grouped = GroupPhone(number); !grouped.isEmpty())
                    phones << grouped;
            break;
        case Field::Name:
            Keep(name, cell);
            break;
        case Field::GivenName:
            Keep(given, cell);
            break;
        case Field::FamilyName:
            Keep(family, cell);
            break;
        case Field::Email:
            Keep(v.email, ValuesOf(cell).value(0));
            break;
        case Field::Note:
            Keep(v.poznamka, cell);
            break;
        case Field::Organization:
            Keep(v.organizace, cell);
            break;
        case Field::Group:
            Keep(v.skupina, GroupOf(cell));
            break;
        case Field::Icq:
            Keep(v.icq, cell);
            break;
        case Field::Skype:
            Keep(v.skype, cell);
            break;
        }
    }
    QList<ContactValues> rows;
    if (phones.isEmpty())
        return rows;
    if (!family.isEmpty())
        v.jmeno = given.isEmpty() ? family : family + QLatin1Char(' ') + given;
    else
        v.jmeno = name.isEmpty() ? given : name;
    v.datum = datum;
    for (const QString& phone : phones) {
        v.telefon = phone;
        rows.append(v);
    }
    return rows;
}

} // namespace csv
