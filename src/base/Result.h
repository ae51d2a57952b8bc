// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace inkveil {

// Why something failed: the reason as the user reads it, and the system's error number when
// the failure came from the system (0 otherwise), for callers that answer some errors
// differently (a missing folder, a file that exists).
struct Error
{
    QString reason;
    int code = 0;
};

// A value, or the Error that kept it from being made. The one way core code fails: a caller
// checks it, uses the value or passes the error on.
//
//     Result<QByteArray> bytes = file.readAll(limit);
//     if (!bytes)
//         return bytes.error();
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {}
    Result(Error error)
        : m_error(std::move(error))
    {}

    explicit operator bool() const { return m_value.has_value(); }
    bool ok() const { return m_value.has_value(); }

    // Only on success.
    T &value() & { return checked(); }
    const T &value() const & { return checked(); }
    T &&value() && { return std::move(checked()); }
    T *operator->() { return &checked(); }
    const T *operator->() const { return &checked(); }
    T &operator*() & { return checked(); }
    const T &operator*() const & { return checked(); }

    // Empty on success.
    const Error &error() const { return m_error; }
    const QString &reason() const { return m_error.reason; }

private:
    T &checked()
    {
        Q_ASSERT_X(m_value, "Result", "value of a failed result");
        return *m_value;
    }
    const T &checked() const
    {
        Q_ASSERT_X(m_value, "Result", "value of a failed result");
        return *m_value;
    }

    std::optional<T> m_value;
    Error m_error;
};

// Success with nothing to hand back, or the reason it failed.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error)
        : m_failed(true)
        , m_error(std::move(error))
    {}

    explicit operator bool() const { return !m_failed; }
    bool ok() const { return !m_failed; }
    const Error &error() const { return m_error; }
    const QString &reason() const { return m_error.reason; }

private:
    bool m_failed = false;
    Error m_error;
};

using Status = Result<void>;

} // namespace inkveil
