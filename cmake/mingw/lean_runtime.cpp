// Linked into the mingw build of the DLL only: small stand-ins for two parts
// of libstdc++ whose own versions drag a great deal into every DLL.
//
// - The default terminate handler prints the escaping exception's demangled
//   type, which pulls in the demangler and the whole printf engine (about
//   120 KB). No exception leaves an action (each runs in the action frame),
//   so terminate is never expected; if it ever runs, ending at once is all
//   it should do.
// - The helpers the standard containers call to throw (length errors, bad
//   positions) live in one object that defines every standard exception
//   class, and through them a second, copy-on-write std::string and
//   std::random_device (about 60 KB). The library never catches these by
//   type: the action frame catches std::exception and logs what() as the
//   failure, which these keep.
//
// The stand-ins must match libstdc++'s own declarations exactly, or a
// container would call the library's version and the stand-in would be a
// mere overload. Each type is pinned below against those declarations, and
// CMakeLists.txt accepts only the compiler versions this file was checked
// with. The Wine test RuntimeStandIns.LengthErrorIsTheFramesFailureLine runs
// a length error through them.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <type_traits>
#include <typeinfo>

namespace {

template <class Declared, class Expected>
constexpr bool kSameType = std::is_same_v<Declared, Expected>;
using NoText = void();
using Text = void(const char*);

// __throw_out_of_range_fmt carries a format attribute, which a type comparison ignores.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
static_assert(kSameType<decltype(__gnu_cxx::__verbose_terminate_handler), NoText>);
static_assert(kSameType<decltype(std::__throw_bad_exception), NoText>);
static_assert(kSameType<decltype(std::__throw_bad_alloc), NoText>);
static_assert(kSameType<decltype(std::__throw_bad_array_new_length), NoText>);
static_assert(kSameType<decltype(std::__throw_bad_cast), NoText>);
static_assert(kSameType<decltype(std::__throw_bad_typeid), NoText>);
static_assert(kSameType<decltype(std::__throw_logic_error), Text>);
static_assert(kSameType<decltype(std::__throw_domain_error), Text>);
static_assert(kSameType<decltype(std::__throw_invalid_argument), Text>);
static_assert(kSameType<decltype(std::__throw_length_error), Text>);
static_assert(kSameType<decltype(std::__throw_out_of_range), Text>);
static_assert(kSameType<decltype(std::__throw_out_of_range_fmt), void(const char*, ...)>);
static_assert(kSameType<decltype(std::__throw_runtime_error), Text>);
static_assert(kSameType<decltype(std::__throw_range_error), Text>);
static_assert(kSameType<decltype(std::__throw_overflow_error), Text>);
static_assert(kSameType<decltype(std::__throw_underflow_error), Text>);
#pragma GCC diagnostic pop

class LibraryFailure : public std::exception {
public:
    explicit LibraryFailure(const char* what) : what_(what ? what : "standard library failure") {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

namespace __gnu_cxx {
// Not [[noreturn]]: <exception> declares it without, and the first declaration rules.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
[[noreturn]] void __throw_bad_exception() { throw std::bad_exception(); }
[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
[[noreturn]] void __throw_bad_cast() { throw std::bad_cast(); }
[[noreturn]] void __throw_bad_typeid() { throw std::bad_typeid(); }
[[noreturn]] void __throw_logic_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_domain_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_invalid_argument(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_length_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_out_of_range(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryFailure(format); }
[[noreturn]] void __throw_runtime_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_range_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_overflow_error(const char* what) { throw LibraryFailure(what); }
[[noreturn]] void __throw_underflow_error(const char* what) { throw LibraryFailure(what); }
}  // namespace std
