// A failure as the user is told about it: the message's number in the
// launcher's message table and what goes into it. The code that meets a
// failure returns one; the launcher decides when and where it is shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/MessageIds.h"
#include "foundation/Text.h"

namespace vexa {

struct Failure {
    // 0: nothing to tell (the runtime has printed what happened).
    unsigned message = 0;
    // Messages of their own that go in front of the inserts, in order (such
    // as the reason of the Windows-error message); 0 inserts an empty text.
    std::vector<unsigned> messageInserts;
    std::vector<MessageInsert> inserts;

    static Failure of(unsigned message, std::vector<MessageInsert> inserts = {}) {
        return Failure{message, {}, std::move(inserts)};
    }
    // The Windows-error message: what was being done and the error's number.
    static Failure windowsError(unsigned reason, unsigned long error) {
        return Failure{IDS_WINDOWS_EXCEPTION, {reason}, {static_cast<std::int32_t>(error)}};
    }
    // A failure the runtime has already described on its error stream.
    static Failure silent() { return Failure{}; }
    bool isSilent() const { return message == 0; }
};

// A value, or the failure that took its place.
template <typename T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    explicit operator bool() const { return value_.has_value(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T* operator->() { return &*value_; }
    const Failure& failure() const { return failure_; }

private:
    std::optional<T> value_;
    Failure failure_;
};

}  // namespace vexa
