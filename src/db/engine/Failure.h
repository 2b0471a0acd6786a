#pragma once

#include <QString>

#include <stdexcept>

// A failure whose text is shown to the user as it stands.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString& message) : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};
