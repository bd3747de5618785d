#pragma once

#include <QString>
#include <stdexcept>

namespace tessel {

// Base of every error the program raises with a user-facing message.
class ETesselError : public std::runtime_error {
public:
    explicit ETesselError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tessel
