#pragma once

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
