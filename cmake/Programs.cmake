# The programs fraction and fracfile and the layers only they use; built
# where FRACTION_PROGRAMS is on (by default only as the top-level project).
# Included from the top CMakeLists.txt, so paths are relative to it.

# What only the programs use, none of it installed, in layers that each
# see only the layers below: what every part shares (the live check, the
# program's name, how a failure is said); the platform interface, and what
# a signal undoes on it; the sort; the terminal; and the rest, the report
# and the programs' own code, which sees them all. A layer's headers are
# under its include/ and are found only by what links it, so that an
# include of a layer above fails to build. The build picks the one side of
# the platform interface, and of the line editor, that fits the target.
if(WIN32)
  set(platform_source src/program/platform/WindowsPlatform.cpp)
else()
  set(platform_source src/program/platform/PosixPlatform.cpp)
endif()
if(FRACTION_LINE_EDITING)
  find_path(LIBEDIT_INCLUDE_DIR editline/readline.h)
  find_library(LIBEDIT_LIBRARY edit)
endif()
if(FRACTION_LINE_EDITING AND LIBEDIT_INCLUDE_DIR AND LIBEDIT_LIBRARY)
  set(line_editor_source src/program/terminal/LibeditLineEditor.cpp)
else()
  set(line_editor_source src/program/terminal/NoLineEditor.cpp)
  message(STATUS "line editing off: a terminal gets the plain reading")
endif()

function(fraction_program_part target folder)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC src/program/${folder}/include)
  # Temporary files pass 2 GiB also on 32-bit targets.
  target_compile_definitions(${target} PRIVATE _FILE_OFFSET_BITS=64)
  target_link_libraries(${target} PUBLIC fraction_options)
endfunction()

fraction_program_part(fraction_common common src/program/common/Check.cpp
                      src/program/common/ProgramName.cpp
                      src/program/common/ReadFailure.cpp)

# NoInjectedFailures.cpp is linked from the archive only where nothing else
# defines platform::injectedFailure: the test build of the programs links
# its own fault injection in front of it (tests/CMakeLists.txt).
fraction_program_part(fraction_platform platform ${platform_source}
                      src/program/platform/ControlGroups.cpp
                      src/program/platform/NoInjectedFailures.cpp src/program/platform/Interruption.cpp)
target_link_libraries(fraction_platform PUBLIC fraction_common)

fraction_program_part(
  fraction_sort sort src/program/sort/MemoryBudget.cpp src/program/sort/RunFile.cpp
  src/program/sort/ExternalSort.cpp src/program/sort/RecordSource.cpp
  src/program/sort/SortedStore.cpp src/program/sort/EntrySort.cpp src/program/sort/TaskPool.cpp)
target_link_libraries(fraction_sort PUBLIC fraction_core fraction_platform fraction_common)

fraction_program_part(
  fraction_terminal terminal src/program/terminal/Answers.cpp src/program/terminal/Progress.cpp
  src/program/terminal/TerminalText.cpp src/program/terminal/TypedWords.cpp ${line_editor_source})
# The progress line is what the sort tells its progress to.
target_link_libraries(fraction_terminal PUBLIC fraction_core fraction_common fraction_platform
                                               fraction_sort)
if(line_editor_source MATCHES Libedit)
  target_include_directories(fraction_terminal SYSTEM PRIVATE ${LIBEDIT_INCLUDE_DIR})
  target_link_libraries(fraction_terminal PRIVATE ${LIBEDIT_LIBRARY})
endif()

add_library(
  fraction_app STATIC
  src/program/SelfTest.cpp src/program/ArgumentParser.cpp src/program/FractionCommandLine.cpp
  src/program/CommandConventions.cpp src/program/InputFile.cpp src/program/Report.cpp
  src/program/ReportPipeline.cpp src/program/TextOutput.cpp src/program/OutputFile.cpp
  src/program/MemoryReserve.cpp src/program/WideSum.cpp src/program/JsonSummary.cpp
  src/program/StandardOutput.cpp)
target_include_directories(fraction_app PUBLIC src/program)
target_compile_definitions(fraction_app PRIVATE _FILE_OFFSET_BITS=64)
target_link_libraries(fraction_app PUBLIC fraction_core fraction_options fraction_platform
                                          fraction_common fraction_sort fraction_terminal)

add_executable(fraction src/program/main.cpp)
target_link_libraries(fraction PRIVATE fraction_app)

add_executable(fracfile tools/fracfile.cpp)
target_link_libraries(fracfile PRIVATE fraction_app)
