#include "ui/TextLimit.h"

#include <QLineEdit>

CodePointLimit::CodePointLimit(QLineEdit* edit, int limit) : QValidator(edit), m_limit(limit)
{
    m_current = CodePoints(edit->text());
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_current = CodePoints(text); });
}

int CodePointLimit::CodePoints(const QString& text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

QValidator::State CodePointLimit::validate(QString& input, int&) const
{
    const int length = CodePoints(input);
    // Within the limit, or not longer than what the edit already holds.
    return length <= m_limit || length <= m_current ? Acceptable : Invalid;
}

void LimitCodePoints(QLineEdit* edit, int limit)
{
    edit->setMaxLength(32767);
    edit->setValidator(new CodePointLimit(edit, limit));
}
