#pragma once
// Logical threads. Every window procedure started with START runs on a thread of its own; all of
// them are stackful fibers on the one GUI thread, switched only inside engine calls (ACCEPT, the
// blocking dialogs), so process-wide variables are shared without locking.
//
// The scheduler runs from the Qt main loop only (a queued call). It resumes every fiber whose wait
// condition holds and never a fiber that is already running; post() only queues and schedules.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx::eng {

class Window;

// One engine event as the accept loop sees it.
struct EventRec {
    int event = 0;
    int control = 0;   // 0: not tied to a control
    int keycode = 0;   // AlertKey and the key/mouse event that caused an event
    Window* target = nullptr;  // nullptr: the thread's innermost window when it is taken
    int tag = 0;               // engine-internal marks (the accept-all pass)
    int keychar = 0;           // the typed character (code page 1251 byte) of a key event, 0 for none
};

using Procedure = std::function<void()>;

class ThreadData;

// Starts `proc` on a new logical thread and returns at once with the thread's number (1, 2, ...).
// The stack is never smaller than the engine's minimum (a 25000-byte request gets the minimum).
int START(Procedure proc, std::size_t stackBytes = 25000);

// Queues an event for a thread's innermost window (thread 0: the current thread). Never switches.
void POST(int event, int control = 0, int thread = 0);

// Number of the running logical thread; 0 outside every fiber (the main stack).
int THREAD();
// Number of the thread whose window is active (has the focus), 0 when none.
int activeThread();
// True while the thread exists (started and its procedure has not returned).
bool threadAlive(int thread);
// Numbers of the living threads, in start order.
std::vector<int> threads();

// Thread start and end hooks: start hooks run in registration order on the new thread before its
// procedure, end hooks in reverse order after it returns (also when the thread is unwound at
// shutdown). Register them before the first START.
void addThreadHooks(std::function<void()> onStart, std::function<void()> onEnd);

// Per-thread storage: each logical thread (and the main stack) has its own T, constructed on first
// use or by create(), destroyed at thread end in reverse order of construction.
//   inline vx::eng::PerThread<FORMA1_RECORD> FRM;   ...   FRM->NOMSV = 5;
class SlotBase {
public:
    virtual ~SlotBase() = default;
};
int allocateSlot();
SlotBase* slotGet(int slot);
void slotSet(int slot, std::unique_ptr<SlotBase> value);  // nullptr destroys

template <class T>
class PerThread {
    struct Holder : SlotBase {
        template <class... A>
        explicit Holder(A&&... a) : value(std::forward<A>(a)...) {}
        T value;
    };

public:
    PerThread() : slot_(allocateSlot()) {}
    PerThread(const PerThread&) = delete;
    PerThread& operator=(const PerThread&) = delete;

    T& get() const {
        if (auto* h = static_cast<Holder*>(slotGet(slot_))) return h->value;
        return create();
    }
    T* operator->() const { return &get(); }
    T& operator*() const { return get(); }
    template <class... A>
    T& create(A&&... a) const {
        auto h = std::make_unique<Holder>(std::forward<A>(a)...);
        T& v = h->value;
        slotSet(slot_, std::move(h));
        return v;
    }
    bool exists() const { return slotGet(slot_) != nullptr; }
    void destroy() const { slotSet(slot_, nullptr); }

private:
    int slot_;
};

// A per-thread scalar that reads and assigns like a plain variable: GLOBALREQUEST = 1.
template <class T>
class PerThreadValue {
public:
    operator T() const { return *v_; }  // NOLINT(google-explicit-constructor)
    PerThreadValue& operator=(T x) { *v_ = x; return *this; }
    T* ptr() const { return &*v_; }

private:
    PerThread<T> v_;
};

// The per-thread hand-over variables; 0 when a thread starts.
extern PerThreadValue<std::uint8_t> GLOBALREQUEST;
extern PerThreadValue<std::uint8_t> GLOBALRESPONSE;
extern PerThreadValue<std::int32_t> VCRREQUEST;

// Closing the program (the application frame closes). Every other logical thread is asked to
// close, the most recently started first, each through its own windows' closing path, innermost
// window first: its innermost window gets a CloseDown event; once that window has closed, the next
// one does, until the thread has ended. A window that stays open (its user chose to keep what he
// typed) ends the round: the result is false and every window still open stays as it is. Waits
// that a CloseDownHook covers (a print preview) are ended first, as the user would end them.
// The caller's fiber waits meanwhile; every other thread goes on. On the main stack, which cannot
// wait: true only when no other thread is alive.
bool closeDownThreads();
// Called on the running thread when its window handled a CloseDown event and stays open.
void closeDownRefused();
// While it lives, a close-down of the running thread first calls `cancel` (which must end the
// wait it covers, as the user would: a print preview closes itself).
class CloseDownHook {
public:
    explicit CloseDownHook(std::function<void()> cancel);
    ~CloseDownHook();
    CloseDownHook(const CloseDownHook&) = delete;
    CloseDownHook& operator=(const CloseDownHook&) = delete;

private:
    int id_ = 0;
};

namespace detail {
// The scheduler's side, used by the window layer.
struct ThreadState;
ThreadState* currentState();  // nullptr on the main stack
// Suspends the running fiber until ready() holds. On the main stack this is an error (throws).
void waitUntil(const std::function<bool()>& ready);
// Suspends the running fiber while Qt's main loop takes what is already on its way to the
// program (the window system's input first of all: a click made meanwhile reaches its widget)
// and delivers it; other threads run as usual. The fiber resumes after a few passes of the loop,
// each a queued call of its own, so input read from the display server in one pass is delivered
// to the widgets in the next. No nested event loop runs. On the main stack this is an error.
void letPendingInputIn();
// Queues an event for a thread (by state); schedules.
void enqueue(ThreadState* t, const EventRec& e);
// Takes the next event for window w (events targeted at w, or untargeted when w is innermost).
bool takeEvent(ThreadState* t, Window* w, bool innermost, EventRec& out);
bool hasEvent(ThreadState* t, Window* w, bool innermost);
// True when an event of this kind targeted at window w waits in the queue.
bool hasQueued(ThreadState* t, Window* w, int event);
void dropEvents(ThreadState* t, Window* w);
int threadNumber(ThreadState* t);
ThreadState* stateOf(int thread);
std::vector<Window*>& windowStack(ThreadState* t);
void schedule();
// Runs ready fibers once (from the main loop or a test's main stack); true when any ran.
bool runReady();
// Unwinds every fiber (their destructors run); call before the widgets go away.
void shutdownThreads();
// Where uncaught exceptions of a thread's procedure are reported (default: qCritical).
void setErrorReporter(std::function<void(int thread, const std::string& what)> r);
}  // namespace detail

}  // namespace vx::eng
