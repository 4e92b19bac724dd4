// How every fallible platform call reports its outcome: a Status for an
// action, a Result<T> for a call that gives something back.
//
// A failed Status carries three things: what the failure means for the
// caller (a Fault), the system's error code (GetLastError, or the LSTATUS of
// a registry call, on Win32; the code the memory machine simulates), and the
// system's message for that code, as the standard error box words it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace vx::platform {

// What a failure means for the caller.
enum class Fault : uint8_t {
    None,        // no failure
    Missing,     // nothing of that name (or a missing folder on the way)
    Exists,      // creating: something of that name stands there
    Link,        // a name-surrogate reparse point (junction, symbolic link,
                 // mount point): never followed
    NotAFolder,  // a file where a folder was asked for
    IsFolder,    // a folder where a file was asked for
    InUse,       // another program holds it open in a way that excludes us
    Denied,      // the system refused access
    Failed,      // any other failure
};

// The system's error codes the platform names (their Windows values).
namespace syscode {
inline constexpr uint32_t FileNotFound = 2;
inline constexpr uint32_t PathNotFound = 3;
inline constexpr uint32_t AccessDenied = 5;
inline constexpr uint32_t InvalidHandle = 6;
inline constexpr uint32_t NotReady = 21;
inline constexpr uint32_t GeneralFailure = 31;
inline constexpr uint32_t SharingViolation = 32;
inline constexpr uint32_t NotSameDevice = 17;
inline constexpr uint32_t FileExists = 80;
inline constexpr uint32_t InvalidParameter = 87;
inline constexpr uint32_t DiskFull = 112;
inline constexpr uint32_t BadName = 123;
inline constexpr uint32_t DirNotEmpty = 145;
inline constexpr uint32_t AlreadyExists = 183;
inline constexpr uint32_t NotADirectory = 267;
inline constexpr uint32_t StoppedOnLink = 681;
inline constexpr uint32_t KeyDeleted = 1018;
inline constexpr uint32_t CannotResolve = 1921;
}  // namespace syscode

class [[nodiscard]] Status {
public:
    // Success.
    Status() = default;
    // A failure; `fault` is never Fault::None (taken as Failed).
    Status(Fault fault, uint32_t code, std::string message)
        : fault_(fault == Fault::None ? Fault::Failed : fault), code_(code), message_(std::move(message)) {}

    bool ok() const { return fault_ == Fault::None; }
    explicit operator bool() const { return ok(); }
    Fault fault() const { return fault_; }
    // 0 on success.
    uint32_t code() const { return code_; }
    // Empty on success.
    const std::string& message() const { return message_; }

    // For the rare caller that acts the same whatever the outcome.
    void ignore() const {}

private:
    Fault fault_ = Fault::None;
    uint32_t code_ = 0;
    std::string message_;
};

namespace detail {
template <typename T>
inline constexpr bool isUniquePtr = false;
template <typename U, typename D>
inline constexpr bool isUniquePtr<std::unique_ptr<U, D>> = true;

template <typename T>
struct PointerTarget {
    static T* get(T& v) { return &v; }
};
template <typename U, typename D>
struct PointerTarget<std::unique_ptr<U, D>> {
    static U* get(std::unique_ptr<U, D>& v) { return v.get(); }
};
}  // namespace detail

// A T, or the Status of the failure that kept it from being had. A
// Result<std::unique_ptr<X>> that holds a value never holds a null pointer;
// like the pointer itself, its `*` and `->` reach the X, and value() hands
// over the pointer.
template <typename T>
class [[nodiscard]] Result {
public:
    // A null pointer handed in as a handle is a failure without a code, so
    // that a Result that holds a value never holds a null one.
    Result(T value) {
        if constexpr (detail::isUniquePtr<T>) {
            if (!value) {
                status_ = Status(Fault::Failed, 0, {});
                return;
            }
        }
        value_ = std::move(value);
    }
    // Anything a T can be made from (a derived object's pointer, a smaller
    // integer); never a bare nullptr, which is no handle.
    template <typename U, std::enable_if_t<std::is_convertible_v<U&&, T> &&
                                               !std::is_same_v<std::decay_t<U>, T> &&
                                               !std::is_same_v<std::decay_t<U>, Status> &&
                                               !std::is_same_v<std::decay_t<U>, Result> &&
                                               !std::is_same_v<std::decay_t<U>, std::nullptr_t>,
                                           int> = 0>
    Result(U&& value) : Result(T(std::forward<U>(value))) {}
    // A failure; a Status that is ok is taken as a failure without a code.
    Result(Status failure)
        : status_(failure.ok() ? Status(Fault::Failed, 0, {}) : std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    bool has_value() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Success, or the failure.
    const Status& status() const { return status_; }

    // The value; only when there is one.
    T& value() & { return *value_; }
    const T& value() const& { return *value_; }
    T&& value() && { return std::move(*value_); }

    auto& operator*() const { return *operator->(); }
    auto* operator->() const { return detail::PointerTarget<T>::get(const_cast<T&>(*value_)); }

    template <typename U>
    T value_or(U&& fallback) const& {
        return value_ ? *value_ : static_cast<T>(std::forward<U>(fallback));
    }
    // A handle's Result hands over its pointer, null on failure, to the
    // callers that need no reason.
    operator T() &&
        requires detail::isUniquePtr<T>
    {
        return value_ ? std::move(*value_) : T();
    }

    // The value as an optional, for the callers that keep one.
    std::optional<T> optional() && { return std::move(value_); }

    // A failure never equals a value. Handles are not compared: a test
    // against nullptr would read a failure as a handle.
    friend bool operator==(const Result& r, const T& v)
        requires(!detail::isUniquePtr<T> && requires(const T& a) { a == a; })
    {
        return r.ok() && r.value() == v;
    }

private:
    std::optional<T> value_;
    Status status_;
};

}  // namespace vx::platform
