#include "link/Win32SerialPortApi.h"

#include <windows.h>

#include <string>

#include "base/Win32Files.h"

namespace corvane {

namespace {

using win32::Handle;

std::wstring deviceName(int comNumber) { return L"\\\\.\\COM" + std::to_wstring(comNumber); }

Handle openExclusive(int comNumber) {
    // No share mode: nobody else opens the port while we hold it.
    return Handle(::CreateFileW(deviceName(comNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

class Win32SerialPort : public SerialPort {
public:
    explicit Win32SerialPort(Handle port) : port_(std::move(port)) {}

    bool setTimeouts(const SerialTimeouts& timeouts) override {
        COMMTIMEOUTS native{timeouts.readInterval, timeouts.readTotalMultiplier, timeouts.readTotalConstant,
                            timeouts.writeTotalMultiplier, timeouts.writeTotalConstant};
        return ::SetCommTimeouts(port_.get(), &native) != 0 || fail();
    }

    bool getTimeouts(SerialTimeouts& timeouts) override {
        COMMTIMEOUTS native{};
        if (::GetCommTimeouts(port_.get(), &native) == 0) {
            return fail();
        }
        timeouts = {native.ReadIntervalTimeout, native.ReadTotalTimeoutMultiplier,
                    native.ReadTotalTimeoutConstant, native.WriteTotalTimeoutMultiplier,
                    native.WriteTotalTimeoutConstant};
        return true;
    }

    bool getState(SerialState& state) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (::GetCommState(port_.get(), &dcb) == 0) {
            return fail();
        }
        state.baudRate = dcb.BaudRate;
        state.binary = dcb.fBinary != 0;
        state.parityCheck = dcb.fParity != 0;
        state.dtrEnabled = dcb.fDtrControl == DTR_CONTROL_ENABLE;
        state.rtsEnabled = dcb.fRtsControl == RTS_CONTROL_ENABLE;
        state.dataBits = dcb.ByteSize;
        state.parity = dcb.Parity;
        state.stopBits = dcb.StopBits;
        state.ctsFlow = dcb.fOutxCtsFlow != 0;
        state.dsrFlow = dcb.fOutxDsrFlow != 0;
        state.xonXoffOut = dcb.fOutX != 0;
        state.xonXoffIn = dcb.fInX != 0;
        return true;
    }

    bool setState(const SerialState& state) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (::GetCommState(port_.get(), &dcb) == 0) {
            return fail();
        }
        dcb.BaudRate = state.baudRate;
        dcb.fBinary = state.binary;
        dcb.fParity = state.parityCheck;
        dcb.fDtrControl = state.dtrEnabled ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = state.rtsEnabled ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        dcb.ByteSize = state.dataBits;
        dcb.Parity = state.parity;
        dcb.StopBits = state.stopBits;
        dcb.fOutxCtsFlow = state.ctsFlow;
        dcb.fOutxDsrFlow = state.dsrFlow;
        dcb.fOutX = state.xonXoffOut;
        dcb.fInX = state.xonXoffIn;
        dcb.fDsrSensitivity = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        return ::SetCommState(port_.get(), &dcb) != 0 || fail();
    }

    bool read(void* buffer, std::size_t n, std::size_t& got) override {
        return transfer(n, got, [&](DWORD size, DWORD* done, OVERLAPPED* at) {
            return ::ReadFile(port_.get(), buffer, size, done, at);
        });
    }

    bool write(const void* buffer, std::size_t n, std::size_t& written) override {
        return transfer(n, written, [&](DWORD size, DWORD* done, OVERLAPPED* at) {
            return ::WriteFile(port_.get(), buffer, size, done, at);
        });
    }

    bool purge(bool receive, bool transmit) override {
        DWORD flags = 0;
        if (receive) {
            flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        }
        if (transmit) {
            flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        }
        return flags == 0 || ::PurgeComm(port_.get(), flags) != 0 || fail();
    }

    std::uint32_t lastError() const override { return lastError_; }

private:
    // One overlapped call, waited for: the driver ends it by the port's time-outs.
    template <class Call>
    bool transfer(std::size_t n, std::size_t& done, Call call) {
        done = 0;
        if (n == 0) {
            return true;
        }
        const Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event.valid()) {
            return fail();
        }
        OVERLAPPED at{};
        at.hEvent = event.get();
        DWORD count = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(n, MAXDWORD));
        bool ended = call(size, &count, &at) != 0;
        if (!ended && ::GetLastError() == ERROR_IO_PENDING) {
            ended = ::GetOverlappedResult(port_.get(), &at, &count, TRUE) != 0;
        }
        // A time-out ends the call with what has come (STATUS_TIMEOUT, which
        // some systems report as the error ERROR_TIMEOUT).
        if (!ended && ::GetLastError() != ERROR_TIMEOUT) {
            return fail();
        }
        done = ended ? count : static_cast<std::size_t>(at.InternalHigh);
        return true;
    }

    bool fail() {
        lastError_ = ::GetLastError();
        return false;
    }

    Handle port_;
    std::uint32_t lastError_ = 0;
};

}  // namespace

Win32SerialPortApi::Win32SerialPortApi(const std::filesystem::path&) {}

std::unique_ptr<SerialPort> Win32SerialPortApi::open(int comNumber) {
    if (comNumber < 1 || comNumber > 256) {
        return nullptr;
    }
    Handle port = openExclusive(comNumber);
    if (!port.valid()) {
        return nullptr;
    }
    // Room for a second of the fastest stream the instruments send.
    ::SetupComm(port.get(), 16384, 4096);
    return std::make_unique<Win32SerialPort>(std::move(port));
}

std::vector<int> Win32SerialPortApi::enumerate() {
    // Every number is tried: the system's list of device names misses ports
    // that exist (wine's dosdevices links, some drivers' virtual ports), and
    // a number with no port behind it fails at once.
    std::vector<int> found;
    for (int number = 1; number <= 256; ++number) {
        if (openExclusive(number).valid()) {
            found.push_back(number);
        }
    }
    return found;
}

std::string Win32SerialPortApi::describe(int comNumber) const {
    wchar_t target[1024] = {};
    const std::wstring name = L"COM" + std::to_wstring(comNumber);
    if (::QueryDosDeviceW(name.c_str(), target, 1024) == 0) {
        return {};
    }
    return std::filesystem::path(target).string();
}

}  // namespace corvane
