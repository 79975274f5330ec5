#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace kelvora {

// Every failure the program reports carries the exact text the user sees.
class Failure : public std::exception
{
public:
    explicit Failure(QString message);

    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A failure of a point table, its file, its filter or its orderings.
class DatabaseError : public Failure
{
public:
    using Failure::Failure;
};

} // namespace kelvora
