#include "dragfullwindows.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <cstring>
#include <mutex>
#endif

namespace vx::platform {

#ifdef _WIN32

int systemParametersInfo(unsigned action, unsigned uiParam, void* pvParam, unsigned winIni) {
    if (action == SPI_GETDRAGFULLWINDOWS) {
        if (!pvParam) return 0;
        BOOL value = FALSE;
        if (!::SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &value, 0)) return 0;
        *static_cast<int*>(pvParam) = value ? 1 : 0;
        return 1;
    }
    if (action == SPI_SETDRAGFULLWINDOWS)
        return ::SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, uiParam ? 1 : 0, pvParam, winIni) ? 1 : 0;
    return 0;
}

#else

namespace {
struct State {
    std::mutex mutex;
    bool on;
    int changes = 0;
    unsigned flags = 0;
    State() {
        const char* env = std::getenv("VEXLO_DRAG_FULL_WINDOWS");
        on = !(env && std::strcmp(env, "0") == 0);
    }
};
State& state() {
    static State s;
    return s;
}
}  // namespace

int systemParametersInfo(unsigned action, unsigned uiParam, void* pvParam, unsigned winIni) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (action == SPI_GETDRAGFULLWINDOWS) {
        if (!pvParam) return 0;
        *static_cast<int*>(pvParam) = s.on ? 1 : 0;
        return 1;
    }
    if (action == SPI_SETDRAGFULLWINDOWS) {
        s.on = uiParam != 0;
        ++s.changes;
        s.flags = winIni;
        return 1;
    }
    return 0;
}

void MemoryDragFullWindows::reset(bool on) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.on = on;
    s.changes = 0;
    s.flags = 0;
}

int MemoryDragFullWindows::changeCount() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    return s.changes;
}

unsigned MemoryDragFullWindows::lastFlags() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    return s.flags;
}

#endif

bool dragFullWindows() {
    int value = 0;
    return systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &value, 0) && value == 1;
}

bool setDragFullWindows(bool on, unsigned winIni) {
    return systemParametersInfo(SPI_SETDRAGFULLWINDOWS, on ? 1 : 0, nullptr, winIni) != 0;
}

}  // namespace vx::platform
