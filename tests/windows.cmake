# The tests of the Windows build (`make windows-test`, run under wine): the
# core's logic and the Windows back ends of the seams, the platform files
# test among them. What needs POSIX itself (child processes by fork, the
# virtual clock's look into /proc, pseudo-terminals, permission bits,
# symbolic links) is tested on Linux only; the COM port path through the
# system is scripts/windows-test.sh's recording.
set(CORVANE_EMULATOR_ENVIRONMENT "WINEDEBUG=-all" "WINEPREFIX=${CMAKE_BINARY_DIR}/wine")

add_library(corvane_link_test_support STATIC link/LinkTestSupport.h link/LinkTestSupport.cpp)
target_include_directories(corvane_link_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/link)
target_link_libraries(corvane_link_test_support PUBLIC corvane_test_support)

corvane_add_test(test_base base/ByteRingTest.cpp)
corvane_add_test(test_app
  app/AppendLogTest.cpp
  app/LineReaderTest.cpp
  app/PlatformFilesTest.cpp
  app/PreferencesTest.cpp
  app/ProgramFoldersTest.cpp
  app/PrompterTest.cpp
  app/ResourceSeederTest.cpp
  app/StartupRulesTest.cpp
  app/UserStoreTest.cpp
)
corvane_add_test(test_packets link/Crc7Test.cpp link/PacketsTest.cpp link/TextAndFieldEntryTest.cpp)
corvane_add_test(test_link
  link/ReceiveRingTest.cpp
  link/UvLinkTransportTest.cpp
  link/ControlSequenceTest.cpp
  link/LinkFaultsTest.cpp
  LIBS corvane_link_test_support
)
# The bridge vendor's library as a DLL, loaded at run time.
add_library(corvane_fake_bridge SHARED link/FakeBridgeLibrary.cpp)
target_include_directories(corvane_fake_bridge PRIVATE ${PROJECT_SOURCE_DIR}/src)
corvane_add_test(test_bridges link/BridgeBackendsTest.cpp LIBS corvane_link_test_support)
target_compile_definitions(test_bridges PRIVATE CORVANE_FAKE_BRIDGE="$<TARGET_FILE:corvane_fake_bridge>")
add_dependencies(test_bridges corvane_fake_bridge)
corvane_add_test(test_connect link/ConnectionFlowTest.cpp link/ConnectionProbeTest.cpp link/De1LinkTest.cpp)
corvane_add_test(test_sim
  sim/UnitWire.h sim/UnitWire.cpp
  sim/KelvoUnitTest.cpp
  sim/KelvoOpticsTest.cpp
  sim/De1BoxTest.cpp
  sim/SimSeamsTest.cpp
)
corvane_add_test(test_runs
  runs/Em1RunWriterTest.cpp
  runs/Em1SettingsStoreTest.cpp
  runs/OverlayPlanBlockTest.cpp
  runs/OverlayPlanRulesTest.cpp
  runs/ProfileTest.cpp
  runs/ProfileReadersTest.cpp
  runs/RotorTableTest.cpp
  runs/RowFormatTest.cpp
  runs/RunDataFileTest.cpp
  runs/RunFileCleanerTest.cpp
  runs/RunRecorderTest.cpp
  runs/TempFolderTest.cpp
)
corvane_add_test(test_compare compare/AlignPeaksTest.cpp compare/CompareSetsTest.cpp)
corvane_add_test(test_sample_reader
  recording/SampleReaderTest.cpp
  recording/SampleSourcesTest.cpp
  recording/De1SourceTest.cpp
  LIBS corvane_link_test_support
)
corvane_add_test(test_setup_pages
  setup/IntroAndCheckListTest.cpp
  setup/PresetRunFileTest.cpp
  setup/UserPageTest.cpp
  setup/De1SetupPageTest.cpp
  setup/OverlayPlanEditorTest.cpp
  setup/SmallPagesTest.cpp
)
# The profile analysis: its own folder's list (its fit and its threads).
add_subdirectory(analysis)
