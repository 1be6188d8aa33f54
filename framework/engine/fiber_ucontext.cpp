// The sanitizer build switches fibers with the ucontext backend of Boost.Context (the only one
// AddressSanitizer can follow). Debian's Boost.Context library is built for the default fcontext
// backend and lacks the backend's per-OS-thread "current fiber" record, so it is defined here.

#if defined(BOOST_USE_UCONTEXT)

#include <boost/context/fiber.hpp>

namespace boost::context::detail {

namespace {
thread_local fiber_activation_record* currentRecord = nullptr;
thread_local std::size_t users = 0;
}  // namespace

fiber_activation_record_initializer::fiber_activation_record_initializer() noexcept {
    if (users++ == 0) currentRecord = new fiber_activation_record();  // the OS thread's own context
}

fiber_activation_record_initializer::~fiber_activation_record_initializer() {
    if (--users == 0) {
        delete currentRecord;
        currentRecord = nullptr;
    }
}

fiber_activation_record*& fiber_activation_record::current() noexcept {
    thread_local fiber_activation_record_initializer initializer;
    return currentRecord;
}

}  // namespace boost::context::detail

#endif
