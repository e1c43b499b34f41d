#pragma once

// The serial ports of the system the program runs on: termios and a port map
// on POSIX, the Win32 communications API on Windows. Both take the start-up
// folder (the port map's "prefs.cfg"; unused on Windows).
#ifdef _WIN32
#include "link/Win32SerialPortApi.h"
namespace corvane {
using SystemSerialPortApi = Win32SerialPortApi;
}
#else
#include "link/PosixSerialPortApi.h"
namespace corvane {
using SystemSerialPortApi = PosixSerialPortApi;
}
#endif
