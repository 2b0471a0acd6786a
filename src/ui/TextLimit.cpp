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

namespace {

const ContactField kFields[] = {
    {&ContactValues::telefon, u"Telefon", 20},
    {&ContactValues::jmeno, u"Jméno", 150},
    {&ContactValues::organizace, u"Organizace", 100},
    {&ContactValues::email, u"Email", 50},
    {&ContactValues::poznamka, u"Poznámka", 50},
    {&ContactValues::icq, u"ICQ", 15},
    {&ContactValues::skype, u"Skype", 50},
    {&ContactValues::skupina, u"Skupina", 20},
};

} // namespace

const ContactField& FieldOf(QString ContactValues::*value)
{
    for (const ContactField& f : kFields)
        if (f.value == value)
            return f;
    Q_ASSERT_X(false, "FieldOf", "datum has no field");
    return kFields[0];
}

QString FieldFault::text() const
{
    if (!field)
        return {};
    const QString label = QString::fromUtf16(field->label);
    if (nul)
        return QStringLiteral("%1 obsahuje znak NUL, který nelze uložit.").arg(label);
    return QStringLiteral("%1 má %2 znaků, pole dovoluje nejvýše %3.")
        .arg(label)
        .arg(length)
        .arg(field->width);
}

FieldFault CheckFields(const ContactValues& values)
{
    for (const ContactField& f : kFields) {
        const QString& value = values.*f.value;
        // The engine counts a text only up to a NUL, so the width is checked here by characters.
        if (value.contains(QChar(0)))
            return {&f, CodePointLimit::CodePoints(value), true};
        const int length = CodePointLimit::CodePoints(value);
        if (length > f.width)
            return {&f, length, false};
    }
    return {};
}
