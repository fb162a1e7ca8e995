// Linked into the mingw build of the DLL only: small stand-ins for two parts
// of libstdc++ and for the thread library, whose own versions drag a great
// deal into every DLL.
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
// a length error through them, and RuntimeStandIns.ThreadsThrowAtOnce throws
// on several threads at once.
#include <bits/functexcept.h>

#include <windows.h>
// Declares the eight functions below; a definition that differed from it would not compile.
#include <pthread.h>

#include <cerrno>
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

// ---- the thread library ------------------------------------------------------
// The runtime locks a handful of statically initialised mutexes, runs its
// set-up once, and keeps one key (the emulated thread-locals), whose
// destructor frees a thread's block when the thread ends.
namespace {

// A mutex holds its critical section's address, or one of winpthread's static
// initialisers (PTHREAD_MUTEX_INITIALIZER is -1, not 0) until first locked.
bool IsStaticInitializer(pthread_mutex_t value) {
    return value == PTHREAD_MUTEX_INITIALIZER || value == PTHREAD_ERRORCHECK_MUTEX_INITIALIZER ||
           value == PTHREAD_RECURSIVE_MUTEX_INITIALIZER;
}

CRITICAL_SECTION* NewSection() {
    auto* section = static_cast<CRITICAL_SECTION*>(std::malloc(sizeof(CRITICAL_SECTION)));
    if (section) InitializeCriticalSection(section);
    return section;
}

void FreeSection(CRITICAL_SECTION* section) {
    DeleteCriticalSection(section);
    std::free(section);
}

// The mutex's section, made on first use: of two threads that race, one
// installs its section and the other frees its own. Null without memory, as
// winpthread answers then (ENOMEM).
CRITICAL_SECTION* SectionOf(pthread_mutex_t* mutex) {
    auto* slot = reinterpret_cast<void* volatile*>(mutex);
    void* seen = InterlockedCompareExchangePointer(slot, nullptr, nullptr);
    if (!IsStaticInitializer(reinterpret_cast<pthread_mutex_t>(seen))) return static_cast<CRITICAL_SECTION*>(seen);
    CRITICAL_SECTION* made = NewSection();
    if (!made) return nullptr;
    void* before = InterlockedCompareExchangePointer(slot, made, seen);
    if (before == seen) return made;
    FreeSection(made);
    return static_cast<CRITICAL_SECTION*>(before);
}

// pthread_once: 0 (PTHREAD_ONCE_INIT) not run, then running, then done.
constexpr LONG kOnceRunning = 1;
constexpr LONG kOnceDone = 2;

// Keys: the runtime makes one. A fiber-local slot's callback gets the value
// alone, so each key has its own callback, which calls the key's destructor
// for a value that is set, as POSIX asks.
using Destructor = void (*)(void*);
constexpr LONG kKeys = 4;
struct Key {
    DWORD slot = FLS_OUT_OF_INDEXES;
    Destructor destructor = nullptr;
};
Key keys[kKeys];
LONG keysMade = 0;

template <int N>
void WINAPI RunDestructor(void* value) {
    if (value) keys[N].destructor(value);
}
constexpr PFLS_CALLBACK_FUNCTION kDestructorCalls[kKeys] = {RunDestructor<0>, RunDestructor<1>, RunDestructor<2>,
                                                             RunDestructor<3>};

Key* KeyOf(pthread_key_t key) {
    return key < static_cast<pthread_key_t>(kKeys) && keys[key].slot != FLS_OUT_OF_INDEXES ? &keys[key] : nullptr;
}

// The slots' callbacks are this DLL's code, and a slot lives as long as the
// process: the slots are freed when the DLL unloads (which runs each value's
// destructor), after every other static object of the DLL is gone.
struct KeysRelease {
    ~KeysRelease() {
        for (Key& key : keys) {
            const DWORD slot = key.slot;
            key.slot = FLS_OUT_OF_INDEXES;
            if (slot != FLS_OUT_OF_INDEXES) FlsFree(slot);
        }
    }
};
KeysRelease keysRelease __attribute__((init_priority(101)));

}  // namespace

extern "C" {

int pthread_once(pthread_once_t* once, void (*run)(void)) {
    if (InterlockedCompareExchange(once, kOnceDone, kOnceDone) == kOnceDone) return 0;
    if (InterlockedCompareExchange(once, kOnceRunning, PTHREAD_ONCE_INIT) == PTHREAD_ONCE_INIT) {
        run();
        InterlockedExchange(once, kOnceDone);
        return 0;
    }
    // Another thread runs it: wait until it has finished (Sleep, not a spin,
    // so that a runner of lower priority gets the processor).
    while (InterlockedCompareExchange(once, kOnceDone, kOnceDone) != kOnceDone) Sleep(1);
    return 0;
}

// Every mutex is a critical section, which a thread may enter again: the
// runtime never locks a mutex it holds, so the attributes ask for nothing more.
int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
    CRITICAL_SECTION* section = NewSection();
    if (!section) return ENOMEM;
    *mutex = reinterpret_cast<pthread_mutex_t>(section);
    return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
    if (!IsStaticInitializer(*mutex)) FreeSection(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
    *mutex = PTHREAD_MUTEX_INITIALIZER;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    CRITICAL_SECTION* section = SectionOf(mutex);
    if (!section) return ENOMEM;
    EnterCriticalSection(section);
    return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
    if (IsStaticInitializer(*mutex)) return EPERM;  // never locked
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
    return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    const LONG index = InterlockedIncrement(&keysMade) - 1;
    if (index >= kKeys) return EAGAIN;
    keys[index].destructor = destructor;
    const DWORD slot = FlsAlloc(destructor ? kDestructorCalls[index] : nullptr);
    if (slot == FLS_OUT_OF_INDEXES) return EAGAIN;
    keys[index].slot = slot;
    *key = static_cast<pthread_key_t>(index);
    return 0;
}

// Called around any Windows call of the library (a thread-local read), so it
// keeps the last error as it found it, as winpthread does.
void* pthread_getspecific(pthread_key_t key) {
    const Key* found = KeyOf(key);
    if (!found) return nullptr;
    const DWORD error = GetLastError();
    void* value = FlsGetValue(found->slot);
    SetLastError(error);
    return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
    const Key* found = KeyOf(key);
    if (!found) return EINVAL;
    const DWORD error = GetLastError();
    const BOOL set = FlsSetValue(found->slot, const_cast<void*>(value));
    SetLastError(error);
    return set ? 0 : ENOMEM;
}

}  // extern "C"
