#pragma once

#include <QString>
#include <exception>
#include <string>

namespace zpp {

// The one error type of the system: it carries a description a user can read.
// Commands trap it where they report failures; elsewhere it propagates.
class Error : public std::exception {
public:
    explicit Error(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toStdString()) {}
    virtual ~Error() = default;
    const QString& Description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.c_str(); }
    // True when the change may have been made all the same (the answer to a commit was lost):
    // the caller must show what the store holds rather than claim a failure.
    virtual bool OutcomeUnknown() const noexcept { return false; }

private:
    QString m_description;
    std::string m_utf8;
};

// The description of any exception, for places that must show whatever went wrong.
QString DescribeException(const std::exception& e);

} // namespace zpp
