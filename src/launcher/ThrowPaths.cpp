// The standard library's throw helpers, as the shipped launchers have them.
// The launcher catches no exception but std::bad_alloc (a long text that does
// not fit in memory is refused, not fatal); any other exception the library
// could throw (a length or range fault of a string or container) reaches no
// handler and ends the process through std::terminate and abort. These
// definitions end the process the same way at once, so that the library's
// exception classes, their message strings and their unwinding code stay out
// of the executables. Test programs keep the library's own helpers.
#include <bits/functexcept.h>

#include <cstdlib>
#include <functional>
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
// A bad_alloc too, and caught as one.
void __throw_bad_array_new_length() { throw bad_array_new_length(); }

void __throw_bad_exception() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
// A mutex that cannot be locked, and an empty std::function called.
void __throw_system_error(int) { abort(); }
void __throw_bad_function_call() { abort(); }

}  // namespace std
