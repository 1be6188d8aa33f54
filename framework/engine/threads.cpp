#include "threads.h"

#include "events.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>
#include <deque>
#include <stdexcept>

namespace ctx = boost::context;

// The C++ runtime keeps the list of exceptions being handled per OS thread; every fiber needs its
// own, so the scheduler swaps it on each switch.
namespace __cxxabiv1 {
struct __cxa_eh_globals;
extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept;
}  // namespace __cxxabiv1

namespace vx::eng {

PerThreadValue<std::uint8_t> GLOBALREQUEST;
PerThreadValue<std::uint8_t> GLOBALRESPONSE;
PerThreadValue<std::int32_t> VCRREQUEST;

namespace {

struct EhGlobals {
    void* caught = nullptr;
    unsigned int uncaught = 0;
};
EhGlobals* ehGlobals() { return reinterpret_cast<EhGlobals*>(__cxxabiv1::__cxa_get_globals()); }

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kMinStack = 1024 * 1024;
#else
constexpr std::size_t kMinStack = 512 * 1024;
#endif

struct Hooks {
    std::function<void()> onStart, onEnd;
};
std::vector<Hooks>& hooks() {
    static std::vector<Hooks> h;
    return h;
}

}  // namespace

namespace detail {

struct ThreadState {
    int number = 0;
    Procedure proc;
    std::size_t stack = kMinStack;
    ctx::fiber fiber;   // the suspended fiber
    ctx::fiber caller;  // the scheduler, while the fiber runs
    std::function<bool()> ready;
    bool started = false, finished = false, unwinding = false;
    std::deque<EventRec> queue;
    std::vector<Window*> windows;
    std::vector<std::unique_ptr<SlotBase>> slotValues;
    std::vector<int> order;  // slotValues in order of construction
    EhGlobals eh;
    // Closing the program: the waits a close-down ends first, and whether the window that got
    // the CloseDown event stayed open.
    std::vector<std::pair<int, std::function<void()>>> cancels;
    bool closeDownRefused = false;

    void destroySlots() {
        while (!order.empty()) {
            int s = order.back();
            order.pop_back();
            if (s < static_cast<int>(slotValues.size())) slotValues[s].reset();
        }
    }
};

}  // namespace detail

namespace {

using detail::ThreadState;

std::vector<std::unique_ptr<ThreadState>> g_threads;
ThreadState* g_running = nullptr;
ThreadState& rootState() {
    static ThreadState root;
    return root;
}
bool g_scheduled = false;
bool g_inRun = false;
int g_nextNumber = 1;
int g_slotCount = 0;
std::function<void(int, const std::string&)> g_reporter;

ThreadState* cur() { return g_running ? g_running : &rootState(); }

void report(int thread, const std::string& what) {
    if (g_reporter)
        g_reporter(thread, what);
    else
        qCritical("thread %d ended by an uncaught exception: %s", thread, what.c_str());
}

// Runs on the fiber: end hooks in reverse order, then the remaining per-thread objects.
struct EndGuard {
    ThreadState* t;
    std::size_t started = 0;
    ~EndGuard() {
        auto& h = hooks();
        for (std::size_t i = started; i-- > 0;)
            if (h[i].onEnd) h[i].onEnd();
        t->destroySlots();
    }
};

ctx::fiber fiberEntry(ThreadState* t, ctx::fiber&& caller) {
    t->caller = std::move(caller);
    {
        EndGuard guard{t};
        try {
            auto& h = hooks();
            for (auto& hk : h) {
                if (hk.onStart) hk.onStart();
                ++guard.started;
            }
            t->proc();
        } catch (const ctx::detail::forced_unwind&) {
            throw;
        } catch (const std::exception& e) {
            report(t->number, e.what());
        } catch (...) {
            report(t->number, "unknown exception");
        }
    }
    return std::move(t->caller);
}

void resume(ThreadState* t) {
    EhGlobals* g = ehGlobals();
    EhGlobals mine = *g;
    *g = t->eh;
    g_running = t;
    if (!t->started) {
        t->started = true;
        t->fiber = ctx::fiber(std::allocator_arg, ctx::protected_fixedsize_stack(t->stack),
                              [t](ctx::fiber&& c) { return fiberEntry(t, std::move(c)); });
    }
    t->ready = nullptr;
    t->fiber = std::move(t->fiber).resume();
    g_running = nullptr;
    t->eh = *g;
    *g = mine;
    if (!t->fiber) t->finished = true;
}

void reap() {
    std::erase_if(g_threads, [](const std::unique_ptr<ThreadState>& t) { return t->finished; });
}

}  // namespace

int START(Procedure proc, std::size_t stackBytes) {
    auto t = std::make_unique<ThreadState>();
    t->number = g_nextNumber++;
    t->proc = std::move(proc);
    t->stack = std::max(stackBytes, kMinStack);
    int n = t->number;
    g_threads.push_back(std::move(t));
    detail::schedule();
    return n;
}

void POST(int event, int control, int thread) {
    ThreadState* t = thread == 0 ? cur() : detail::stateOf(thread);
    if (!t) return;
    detail::enqueue(t, EventRec{event, control, 0, nullptr});
}

int THREAD() { return g_running ? g_running->number : 0; }

bool threadAlive(int thread) { return detail::stateOf(thread) != nullptr; }

std::vector<int> threads() {
    std::vector<int> r;
    for (auto& t : g_threads)
        if (!t->finished) r.push_back(t->number);
    return r;
}

void addThreadHooks(std::function<void()> onStart, std::function<void()> onEnd) {
    hooks().push_back({std::move(onStart), std::move(onEnd)});
}

int allocateSlot() { return g_slotCount++; }

SlotBase* slotGet(int slot) {
    ThreadState* t = cur();
    return slot < static_cast<int>(t->slotValues.size()) ? t->slotValues[slot].get() : nullptr;
}

void slotSet(int slot, std::unique_ptr<SlotBase> value) {
    ThreadState* t = cur();
    if (slot >= static_cast<int>(t->slotValues.size())) t->slotValues.resize(slot + 1);
    std::erase(t->order, slot);
    auto old = std::move(t->slotValues[slot]);
    t->slotValues[slot] = std::move(value);
    if (t->slotValues[slot]) t->order.push_back(slot);
    old.reset();
}

// ---------------------------------------------------------------- closing the program

namespace {
int g_nextCancel = 1;

// The most recently started living thread other than `self`.
ThreadState* lastOther(ThreadState* self) {
    for (auto it = g_threads.rbegin(); it != g_threads.rend(); ++it)
        if (it->get() != self && !(*it)->finished) return it->get();
    return nullptr;
}
}  // namespace

CloseDownHook::CloseDownHook(std::function<void()> cancel) {
    if (ThreadState* t = g_running) {
        id_ = g_nextCancel++;
        t->cancels.emplace_back(id_, std::move(cancel));
    }
}

CloseDownHook::~CloseDownHook() {
    if (!id_) return;
    for (auto& t : g_threads) std::erase_if(t->cancels, [this](const auto& c) { return c.first == id_; });
}

void closeDownRefused() {
    if (ThreadState* t = g_running) {
        t->closeDownRefused = true;
        detail::schedule();
    }
}

bool closeDownThreads() {
    ThreadState* self = g_running;
    if (!self) return lastOther(nullptr) == nullptr;  // nothing to wait on: only when none is left
    for (;;) {
        ThreadState* t = lastOther(self);
        if (!t) return true;
        const int n = t->number;
        if (t->windows.empty()) {
            // Not started yet, or between two windows: it opens one or ends.
            detail::waitUntil([n] {
                ThreadState* s = detail::stateOf(n);
                return !s || !s->windows.empty();
            });
            continue;
        }
        // First what the thread waits for and a user would end (a print preview).
        auto cancels = t->cancels;
        t->cancels.clear();
        for (auto it = cancels.rbegin(); it != cancels.rend(); ++it) it->second();
        ThreadState* s = detail::stateOf(n);
        if (!s || s->windows.empty()) continue;
        Window* w = s->windows.back();
        s->closeDownRefused = false;
        detail::enqueue(s, EventRec{ev::CloseDown, 0, 0, w});
        detail::waitUntil([n, w] {
            ThreadState* x = detail::stateOf(n);
            return !x || x->windows.empty() || x->windows.back() != w || x->closeDownRefused;
        });
        ThreadState* x = detail::stateOf(n);
        if (x && x->closeDownRefused && !x->windows.empty() && x->windows.back() == w) {
            x->closeDownRefused = false;
            return false;  // the window stays, and with it the program
        }
    }
}

namespace detail {

ThreadState* currentState() { return g_running; }

void waitUntil(const std::function<bool()>& ready) {
    ThreadState* t = g_running;
    if (!t) throw std::logic_error("an engine wait was called outside a logical thread");
    if (ready()) return;
    t->ready = ready;
    t->caller = std::move(t->caller).resume();
}

namespace {
// Passes of the main loop a fiber lets by in letPendingInputIn: the display connection is read in
// one, the events it gives are queued for the widgets and delivered in the next; one more for
// what their delivery posts in turn.
constexpr int kInputPasses = 3;

void passOnce(const std::shared_ptr<int>& left) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [left] {
            if (--*left > 0) passOnce(left);
            else schedule();
        },
        Qt::QueuedConnection);
}
}  // namespace

void letPendingInputIn() {
    if (!g_running) throw std::logic_error("an engine wait was called outside a logical thread");
    if (!QCoreApplication::instance()) return;
    // Shared with the queued calls: a fiber unwound meanwhile leaves them nothing dangling.
    auto left = std::make_shared<int>(kInputPasses);
    passOnce(left);
    waitUntil([left] { return *left <= 0; });
}

void enqueue(ThreadState* t, const EventRec& e) {
    t->queue.push_back(e);
    schedule();
}

static bool matches(const EventRec& e, Window* w, bool innermost) {
    return e.target == w || (e.target == nullptr && innermost);
}

bool takeEvent(ThreadState* t, Window* w, bool innermost, EventRec& out) {
    for (auto it = t->queue.begin(); it != t->queue.end(); ++it) {
        if (matches(*it, w, innermost)) {
            out = *it;
            t->queue.erase(it);
            return true;
        }
    }
    return false;
}

bool hasEvent(ThreadState* t, Window* w, bool innermost) {
    return std::any_of(t->queue.begin(), t->queue.end(),
                       [&](const EventRec& e) { return matches(e, w, innermost); });
}

bool hasQueued(ThreadState* t, Window* w, int event) {
    return std::any_of(t->queue.begin(), t->queue.end(),
                       [&](const EventRec& e) { return e.event == event && e.target == w; });
}

void dropEvents(ThreadState* t, Window* w) {
    std::erase_if(t->queue, [w](const EventRec& e) { return e.target == w; });
}

int threadNumber(ThreadState* t) { return t ? t->number : 0; }

ThreadState* stateOf(int thread) {
    for (auto& t : g_threads)
        if (t->number == thread && !t->finished) return t.get();
    return nullptr;
}

std::vector<Window*>& windowStack(ThreadState* t) { return t->windows; }

void schedule() {
    if (g_scheduled || !QCoreApplication::instance()) return;
    g_scheduled = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            g_scheduled = false;
            runReady();
        },
        Qt::QueuedConnection);
}

bool runReady() {
    if (g_inRun || g_running) return false;  // the scheduler never nests
    g_inRun = true;
    bool any = false;
    std::vector<ThreadState*> snapshot;
    for (auto& t : g_threads) snapshot.push_back(t.get());
    for (ThreadState* t : snapshot) {
        if (t->finished) continue;
        if (!t->started || (t->ready && t->ready())) {
            resume(t);
            any = true;
        }
    }
    reap();
    g_inRun = false;
    // Threads that are still ready get their next turn after Qt has delivered its own events.
    for (auto& t : g_threads)
        if (!t->started || (t->ready && t->ready())) {
            schedule();
            break;
        }
    return any;
}

void shutdownThreads() {
    // Destroying a suspended fiber unwinds its stack: the procedure's objects are destroyed and
    // the thread's end hooks run, innermost threads first.
    while (!g_threads.empty()) {
        auto t = std::move(g_threads.back());
        g_threads.pop_back();
        if (t->fiber) {
            EhGlobals* g = ehGlobals();
            EhGlobals mine = *g;
            *g = t->eh;
            g_running = t.get();
            t->unwinding = true;
            { ctx::fiber f = std::move(t->fiber); }
            g_running = nullptr;
            *g = mine;
        }
    }
    rootState().destroySlots();
}

void setErrorReporter(std::function<void(int, const std::string&)> r) { g_reporter = std::move(r); }

}  // namespace detail

}  // namespace vx::eng
