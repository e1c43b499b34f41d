// The two real bridge backends: the OS serial port one (in process over the
// simulated ports, and through the kernel on a pty served by corvane-sim) and
// the run-time loaded device library (over a fake library built by the tests).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "LinkTestSupport.h"
#include "TestClocks.h"
#include "link/D2xxLibrary.h"
#include "link/TtyBridgeLibrary.h"

// After our headers: windows.h defines macros (near, far) that would reach them.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>

#include "ChildProcess.h"
#include "link/PosixSerialPortApi.h"
#endif

namespace corvane {
namespace {

using test::LinkBench;
using test::ManualClock;

TEST(TtyBridgeLibrary, DrivesTheLinkOverSerialPortsChoosingThePortByNumber) {
    ManualClock clock;
    SimRigConfig config;
    config.withDe1 = true;
    LinkBench bench(clock, config);
    test::TempDir sysfs;
    TtyBridgeLibrary tty(bench.rig.ports(), sysfs.path());
    {
        UvLink link({tty, clock, bench.prompter, nullptr, false}, bench.folder.path(), 4, 57600, 2,
                    bench.sampleLock);
        ASSERT_TRUE(link.connected());
        EXPECT_EQ(bench.rig.ports().opens(3), 1);  // tried and closed again
        EXPECT_FALSE(bench.rig.kelvo()->claimed());
        EXPECT_TRUE(bench.rig.de1()->claimed());
    }
    EXPECT_FALSE(bench.rig.de1()->claimed());

    UvLink link({tty, clock, bench.prompter, nullptr, false}, bench.folder.path(), 3, 57600, 2,
                bench.sampleLock);
    ASSERT_TRUE(link.EnterManualMode());
    EXPECT_EQ(bench.rig.kelvo()->mode(), kModeManual);
    EXPECT_EQ(bench.rig.kelvo()->lineBaudRate(), 57600u);
    const auto notes = tty.notes();
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes.front().find("bit mode 128/32"), std::string::npos);
}

// sysfs and ptys are Linux's; on Windows the COM port path is
// scripts/windows-test.sh's recording through a port wine maps to a pty.
#ifndef _WIN32
TEST(TtyBridgeLibrary, TakesSerialNumberAndLatencyTimerFromSysfs) {
    ManualClock clock;
    SimKelvoUnit unit(clock);
    SimKelvoUnit twin(clock);
    SimSerialPortApi ports(clock);
    ports.addPort(101, unit, "/dev/ttyUSB0");
    ports.addPort(102, twin, "/dev/ttyUSB1");
    test::TempDir sysfs;
    const auto usb = sysfs.path() / "devices" / "usb1" / "1-1";
    sysfs.write("devices/usb1/1-1/serial", "AB12CD34\n");
    std::filesystem::create_directories(usb / "1-1:1.0" / "ttyUSB0");
    std::filesystem::create_directories(sysfs.path() / "class" / "tty" / "ttyUSB0");
    std::filesystem::create_directory_symlink(usb / "1-1:1.0" / "ttyUSB0",
                                              sysfs.path() / "class" / "tty" / "ttyUSB0" / "device");
    sysfs.write("bus/usb-serial/devices/ttyUSB0/latency_timer", "16\n");

    TtyBridgeLibrary tty(ports, sysfs.path());
    std::string first;
    std::string second;
    ASSERT_EQ(tty.listDevice(0, kListByIndexSerialNumber, first), kBridgeOk);
    ASSERT_EQ(tty.listDevice(1, kListByIndexSerialNumber, second), kBridgeOk);
    EXPECT_EQ(tty.listDevice(2, kListByIndexSerialNumber, second), kBridgeDeviceNotFound);
    EXPECT_EQ(first, "AB12CD34");
    EXPECT_EQ(second, "/dev/ttyUSB1");

    BridgeHandle handle = 0;
    ASSERT_EQ(tty.open(first, kOpenBySerialNumber, handle), kBridgeOk);
    std::int32_t com = 0;
    ASSERT_EQ(tty.getComPortNumber(handle, com), kBridgeOk);
    EXPECT_EQ(com, 101);
    EXPECT_EQ(tty.setLatencyTimer(handle, 2), kBridgeOk);
    EXPECT_EQ(sysfs.read("bus/usb-serial/devices/ttyUSB0/latency_timer"), "2\n");
    EXPECT_EQ(tty.setFlowControl(handle, 0x100, 0, 0), kBridgeInvalidParameter);
    EXPECT_EQ(tty.close(handle), kBridgeOk);
    EXPECT_EQ(tty.close(handle), kBridgeInvalidHandle);
}

TEST(TtyBridgeLibrary, RunsTheWholeLinkThroughTheKernelOnAPty) {
    test::TempDir folder;
    const auto ptyLink = folder / "kelvo";
    test::ChildProcess sim({std::string(CORVANE_BINARY_DIR) + "/src/sim/corvane-sim", "--link",
                            ptyLink.string()});
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(sim.readLine().empty());
    folder.write("prefs.cfg", "[ports]\ncom7 " + ptyLink.string() + "\n");

    SteadyClock clock;
    test::ScriptedPrompter prompter;
    test::RecordingPoster poster;
    SampleLock sampleLock;
    PosixSerialPortApi ports(folder.path(), folder.path());
    TtyBridgeLibrary tty(ports);
    UvLink link({tty, clock, prompter, &poster, true}, folder.path(), 7, 57600, 2, sampleLock);
    ASSERT_TRUE(link.connected());
    {
        test::AcquisitionLoop loop(link, clock);
        EXPECT_TRUE(poster.waitFor(UserMsg::LinkStats, 4, std::chrono::seconds(30)));
        EXPECT_GT(loop.packets(), 10);
    }
    EXPECT_GE(link.heartbeatsReceived(), 2);
    EXPECT_GE(link.heartbeatsTransmitted(), 4);
    ASSERT_TRUE(link.lastCmd1());
    EXPECT_EQ(link.lastCmd1()->ucUVMenuStatus, kModeSetup);
    EXPECT_TRUE(prompter.transcript().empty());
}

#endif

// The fake library's installer, found the way the link finds its functions.
void installInFake(BridgeLibrary& target) {
#ifdef _WIN32
    HMODULE fake = ::LoadLibraryW(std::filesystem::path(CORVANE_FAKE_BRIDGE).c_str());
    ASSERT_NE(fake, nullptr);
    auto install = reinterpret_cast<void (*)(BridgeLibrary*)>(
        reinterpret_cast<void*>(::GetProcAddress(fake, "fake_bridge_install")));
    ASSERT_NE(install, nullptr);
    install(&target);
    ::FreeLibrary(fake);  // the link's own handle keeps it loaded
#else
    void* fake = ::dlopen(CORVANE_FAKE_BRIDGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(fake, nullptr);
    auto install = reinterpret_cast<void (*)(BridgeLibrary*)>(::dlsym(fake, "fake_bridge_install"));
    ASSERT_NE(install, nullptr);
    install(&target);
    ::dlclose(fake);  // the link's own handle keeps it loaded
#endif
}

TEST(D2xxLibrary, SaysWhyWhenTheLibraryIsMissingOrIncomplete) {
    D2xxLibrary missing("libcorvane-no-such-bridge.so");
    EXPECT_FALSE(missing.available());
    EXPECT_EQ(missing.reason().rfind("bridge library libcorvane-no-such-bridge.so not available: ", 0), 0u);
    std::string serial;
    EXPECT_NE(missing.listDevice(0, kListByIndexSerialNumber, serial), kBridgeOk);

#ifdef _WIN32
    D2xxLibrary other("kernel32.dll");  // a library, but not the bridge's
#else
    D2xxLibrary other("libm.so.6");
#endif
    EXPECT_FALSE(other.available());
    EXPECT_NE(other.reason().find("it has no function bridge_list_by_index"), std::string::npos);
}

TEST(D2xxLibrary, DrivesTheLinkThroughTheLoadedFunctions) {
    ManualClock clock;
    LinkBench bench(clock);
    D2xxLibrary library(CORVANE_FAKE_BRIDGE);
    ASSERT_TRUE(library.available()) << library.reason();
    installInFake(bench.rig.bridge());
    {
        UvLink link({library, clock, bench.prompter, nullptr, false}, bench.folder.path(), 3, 57600, 2,
                    bench.sampleLock);
        ASSERT_TRUE(link.EnterSetupMode());
        Cmd0 settings;
        EXPECT_TRUE(link.ReadConfiguration(settings));
        EXPECT_EQ(settings.ucATODGain, 4);
    }
    const auto calls = test::SetupCalls(bench.rig.bridge());
    EXPECT_EQ(calls.front(), "listDevice(0, 1073741825)");
    EXPECT_EQ(calls.back(), "close(1)");
    EXPECT_EQ(bench.rig.bridge().openHandles(), 0u);
}

}  // namespace
}  // namespace corvane
