#pragma once

#include "db/engine/Columns.h"

#include <QValidator>

class QLineEdit;

// Limits an edit to a number of characters counted as the database counts them (code points,
// so an emoji is one character, not two UTF-16 units). Typing or pasting beyond the limit is
// refused; a longer value put in by the program is shown whole and may be shortened, never
// cut behind the user's back.
class CodePointLimit : public QValidator
{
    Q_OBJECT
public:
    CodePointLimit(QLineEdit* edit, int limit);

    State validate(QString& input, int& pos) const override;
    int limit() const { return m_limit; }

    static int CodePoints(const QString& text);

private:
    int m_limit;
    // The length of the text the edit holds, to let a too long value get shorter.
    int m_current = 0;
};

// Puts the limit on the edit (and drops Qt's own limit, which counts UTF-16 units and cuts).
void LimitCodePoints(QLineEdit* edit, int limit);

// The first value that its column cannot hold, or that would be stored other than it reads.
struct FieldFault
{
    const db::ContactColumn* field = nullptr; // null when every value fits
    int length = 0;                           // the value's length in characters
    bool nul = false;                         // it holds a NUL character, which no statement carries
    explicit operator bool() const { return field != nullptr; }
    // "Jméno má 151 znaků, pole dovoluje nejvýše 150."
    QString text() const;
};
FieldFault CheckFields(const ContactValues& values);
