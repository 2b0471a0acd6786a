#pragma once

#include <QString>

// Phone numbers are stored and compared in the form FormatPhone gives them:
// the first nine characters in three groups of three, the rest unbroken,
// at most 20 characters. Texts shorter than four characters are left alone.
QString FormatPhone(const QString& text);
// Whether FormatPhone keeps all of the text, cutting nothing.
bool PhoneFits(const QString& text);

// Trims characters with codes 0-32 at both ends, then drops every remaining blank.
QString StripSpaces(const QString& text);
