#pragma once

#include "db/engine/Columns.h"
#include "db/engine/Dialect.h"

#include <QDate>
#include <QString>

// The statements of record editing. Every value goes into its quoted literal through
// EscapeQuotes, so no typed text can end the literal; ids stand without quotes.

QString DuplicateCheckStatement(const QString& number);
QString NumberHoldersStatement(const QString& number);
QString ContactRowStatement(const QString& id);
QString InsertContactStatement(const ContactValues& v);
QString UpdateContactStatement(const ContactValues& v, const QString& id);
QString DeleteContactStatement(const QString& id);

QString InsertNoteStatement(const QString& id, const QString& text);
QString NotesOfContactStatement(const QString& id);
QString DeleteNoteStatement(const QString& id, const QString& shownDate);

// An id as it may stand in a statement: digits only (an optional minus sign); empty otherwise.
QString IdLiteral(const QString& id);
