# The tests of the Windows build run under Wine on the build machine (tests/windows/lane runs
# them): each through wine-run, in the lane's own Wine prefix, with Qt's and the compiler's
# DLLs on Wine's PATH.
set(TRELVANE_WINE_PREFIX "" CACHE PATH "Wine prefix of the Windows test lane")
set(TRELVANE_LINUX_BUILD "" CACHE PATH "Linux build folder that holds trelvane-unit")
set(TRELVANE_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/wine-run)

# The suites that run on Windows (folders of tests/, this file is included from there). Left
# out: those whose serial peer is a pseudo-terminal or a simulated unit on one in the test's
# own process, which Windows does not have (unit-sim, unplug, crash-safety, startup, wedge,
# userlist, delete, upload, enroll, link-supervision, backup; in dispatcher, window and
# receiver the tests of that kind are built on Linux only), the X11 typing suite (wedge-x11),
# and those that inject write failures through POSIX resource limits (config, store). On
# Windows the serial link meets the Linux simulated unit through a Wine COM port instead
# (tests/windows).
set(TRELVANE_WINDOWS_TEST_DIRS)
foreach(dir util keynotation dispatcher window banner targets log ping receiver newunit tray
        windows)
    list(APPEND TRELVANE_WINDOWS_TEST_DIRS ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
endforeach()

# A test of the Windows build: offscreen unless it needs the desktop (DISPLAY), then on Qt's
# windows platform, which Wine shows on the lane's X display. Arguments after the first three
# are a Linux command that starts the test (it gets wine-run and the program as arguments).
function(trelvane_add_wine_test name timeout display)
    add_test(NAME ${name} COMMAND ${ARGN} ${TRELVANE_WINE_RUN} $<TARGET_FILE:${name}>)
    trelvane_set_wine_test_properties(${name} ${timeout} ${display})
endfunction()

# The properties of a test run under Wine, for a test whose command is built otherwise.
# Arguments after the first three are more environment settings (NAME=VALUE).
function(trelvane_set_wine_test_properties name timeout display)
    if(display)
        set(platform windows)
        set(labels "wine;display")
    else()
        set(platform offscreen)
        set(labels wine)
    endif()
    set(env "WINEPREFIX=${TRELVANE_WINE_PREFIX}" "TRELVANE_WINDOWS_QT=${TRELVANE_WINDOWS_QT}"
        "TRELVANE_QPA=${platform}" "TRELVANE_LINUX_BUILD=${TRELVANE_LINUX_BUILD}" ${ARGN})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS "${labels}"
        SKIP_RETURN_CODE 77 ENVIRONMENT "${env}")
endfunction()
