// The one error type: a number the console reacts to and a description for the operator.
#pragma once

#include <exception>
#include <QString>
#include <string>

namespace ErrorNumber {
inline constexpr int InvalidArgument = 5; // invalid procedure call or argument
inline constexpr int Overflow = 6;
inline constexpr int TypeMismatch = 13;
inline constexpr int ObjectUnloaded = 364; // the window was closed under the caller
inline constexpr int TableExists = 3010;
inline constexpr int NotADatabase = 3343;    // file is not a database the engine recognises
inline constexpr int DatabaseFailure = 3146; // any other failure reported by the database engine
inline constexpr int FileFailure = 75;       // path/file access error
} // namespace ErrorNumber

class VcError : public std::exception {
public:
    VcError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toStdString()) {}

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    std::string m_what;
};
