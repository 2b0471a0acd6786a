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

QString FieldFault::text() const
{
    if (!field)
        return {};
    const QString label = db::ColumnTitle(*field);
    if (nul)
        return QStringLiteral("%1 obsahuje znak NUL, který nelze uložit.").arg(label);
    return QStringLiteral("%1 má %2 znaků, pole dovoluje nejvýše %3.")
        .arg(label)
        .arg(length)
        .arg(field->width);
}

FieldFault CheckFields(const ContactValues& values)
{
    for (int place = 0; place < db::kDialogColumnCount; ++place) {
        const db::ContactColumn& f = *db::ColumnAt(&db::ContactColumn::dialogPlace, place);
        const QString& value = db::ValueOf(values, f);
        // The engine counts a text only up to a NUL, so the width is checked here by characters.
        if (value.contains(QChar(0)))
            return {&f, CodePointLimit::CodePoints(value), true};
        const int length = CodePointLimit::CodePoints(value);
        if (length > f.width)
            return {&f, length, false};
    }
    return {};
}
