# The "poll" command of the command-line tool, as a library the tool and the tests link.
add_library(recorder_poll_command STATIC ${CMAKE_CURRENT_LIST_DIR}/PollCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LinkOptions.cpp)
target_link_libraries(recorder_poll_command PUBLIC recorder_device recorder_archive)
