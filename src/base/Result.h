// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>
#include <variant>

// Why something failed, in words for the user. A function that can fail returns it in place of
// its value: `return Failure(QStringLiteral("The file is empty."));`.
struct Failure {
    explicit Failure(QString why) : message(std::move(why)) {
        Q_ASSERT_X(!message.isEmpty(), "Failure", "a failure says why");
    }
    QString message;
};

// A value, or the message of a failure (never empty). The one way the core returns failure:
//     const Result<MediaInfo> info = ProbeMedia(path);
//     if (!info)
//         return Failure(info.error());
//     use(info->duration);
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state(std::in_place_index<1>, std::move(failure.message)) {}

    explicit operator bool() const { return state.index() == 0; }

    const T& value() const& {
        Q_ASSERT_X(*this, "Result::value", "a failure has no value");
        return std::get<0>(state);
    }
    T& value() & {
        Q_ASSERT_X(*this, "Result::value", "a failure has no value");
        return std::get<0>(state);
    }
    T&& value() && {
        Q_ASSERT_X(*this, "Result::value", "a failure has no value");
        return std::get<0>(std::move(state));
    }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // Why it failed; "" for a success.
    QString error() const { return state.index() == 1 ? std::get<1>(state) : QString(); }

private:
    std::variant<T, QString> state;
};

// Success without a value (`return {};`), or the message of a failure.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure(std::move(failure.message)) {}

    explicit operator bool() const { return !failure.has_value(); }
    // Why it failed; "" for a success.
    QString error() const { return failure.value_or(QString()); }

private:
    std::optional<QString> failure;
};
