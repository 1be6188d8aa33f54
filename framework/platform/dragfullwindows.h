#pragma once
// The desktop's "show window contents while dragging" setting, as the program start and stop
// read and switch it. The calls are shaped like SystemParametersInfoA with the two action
// numbers the program uses.
//
// On Windows the setting is the real one. Elsewhere it is an in-memory value for the whole
// process: it starts as $VEXLO_DRAG_FULL_WINDOWS says ("0" off, anything else on; on when
// unset), and tests set it and inspect the changes made to it through MemoryDragFullWindows.

namespace vx::platform {

inline constexpr unsigned SPI_SETDRAGFULLWINDOWS = 37;  // uiParam: the new value (0 or 1)
inline constexpr unsigned SPI_GETDRAGFULLWINDOWS = 38;  // pvParam: int receiving the value
inline constexpr unsigned SPIF_UPDATEINIFILE = 1;       // write the user profile
inline constexpr unsigned SPIF_SENDCHANGE = 2;          // broadcast the change

// Non-zero on success. An action other than the two above, or a get without a place to put the
// value, fails and changes nothing.
int systemParametersInfo(unsigned action, unsigned uiParam, void* pvParam, unsigned winIni);

// The same two actions as plain calls.
bool dragFullWindows();                                                              // get
bool setDragFullWindows(bool on, unsigned winIni = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);  // set

#ifndef _WIN32
// The in-memory backend's controls, for tests.
struct MemoryDragFullWindows {
    // Sets the current value and forgets the recorded changes.
    static void reset(bool on);
    // Changes made through SPI_SETDRAGFULLWINDOWS since the last reset, and the last one's flags.
    static int changeCount();
    static unsigned lastFlags();
};
#endif

}  // namespace vx::platform
