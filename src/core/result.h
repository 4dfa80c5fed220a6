#pragma once
// A value or an error message in the user's terms. Expected failures (an unreadable file,
// a bad value, a cancelled dialog) travel as a Result; exceptions are reserved for
// arithmetic faults, which end the running handler (see core/numeric.h).

#include <optional>
#include <string>
#include <utility>

namespace orv::core {

struct Error {
    std::string message;
};

template <typename T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}              // NOLINT: implicit on purpose
    Result(Error error) : error_(std::move(error.message)) {}  // NOLINT

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }

private:
    std::optional<T> value_;
    std::string error_;
};

template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : failed_(true), error_(std::move(error.message)) {}  // NOLINT

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }

private:
    bool failed_ = false;
    std::string error_;
};

}  // namespace orv::core
