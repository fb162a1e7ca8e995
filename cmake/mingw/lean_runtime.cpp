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
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryFailure : public std::exception {
public:
    explicit LibraryFailure(const char* what) : what_(what ? what : "standard library failure") {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* what) { throw LibraryFailure(what); }
void __throw_domain_error(const char* what) { throw LibraryFailure(what); }
void __throw_invalid_argument(const char* what) { throw LibraryFailure(what); }
void __throw_length_error(const char* what) { throw LibraryFailure(what); }
void __throw_out_of_range(const char* what) { throw LibraryFailure(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryFailure(format); }
void __throw_runtime_error(const char* what) { throw LibraryFailure(what); }
void __throw_range_error(const char* what) { throw LibraryFailure(what); }
void __throw_overflow_error(const char* what) { throw LibraryFailure(what); }
void __throw_underflow_error(const char* what) { throw LibraryFailure(what); }
}  // namespace std
