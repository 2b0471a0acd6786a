#pragma once

#include <QString>

// The statement texts of the program are written for the engine the directory was
// designed on. This layer carries them out on SQLite: it rewrites the few constructs
// that differ, outside quoted values only, and leaves everything else as it stands.
// Doubles every apostrophe, so the text can stand inside a quoted SQL literal.
QString EscapeQuotes(const QString& text);

namespace db {

// The expression that gives the local date and time as text ("8.12.2026 19:05:33").
QString LocalNowExpression();

// Rewrites one statement text for SQLite:
//  - date()+time()                       -> the local date and time as text
//  - <column> varchar(n)                 -> text of at most n characters, Czech collation
//  - <column> text / memo / longtext     -> text with Czech collation
//  - alter table T add constraint N primary key (c) -> a unique index N on T (c)
QString TranslateStatement(const QString& statement);

// A text column as the program declares it: at most `width` characters, Czech comparison.
QString VarcharColumn(const QString& name, int width);

// The schema of a directory file of the first structure version, as the program creates it:
// the contacts table first, then the notes table.
QStringList BaseSchemaStatements();

// Indexes that keep sorting and look-ups fast, of the contact columns the file has (`columns`, in
// lower case): a column that an upgrade brings is indexed once the upgrade has added it. Created
// when missing on every opening.
QStringList IndexStatements(const QStringList& columns);

} // namespace db
