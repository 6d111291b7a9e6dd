#pragma once

#include <QString>

#include <utility>

// The outcome of an operation that makes a value: the value, or the reason there is none. `subject`
// names what the operation concerned (a file's path, a resource) where there is one to name, in
// failure and success alike; an empty error means success. The shape of FileResult, with a value.
template <typename T>
struct [[nodiscard]] Result {
    T value{};
    QString subject;
    QString error;

    bool Ok() const { return error.isEmpty(); }

    static Result Success(T value, const QString& subject = {}) { return {std::move(value), subject, {}}; }
    static Result Failure(const QString& subject, const QString& reason) { return {T{}, subject, reason}; }
};
