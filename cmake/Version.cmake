# Everything that shows the version takes it from project(VERSION ...): the
# programs and the Windows version resource through DozozedaVersion.h (link
# dozozeda_version), the packages' names, the man pages and the AppStream
# release.
#
# The programs write it as major.minor.build with two and four digits,
# "1.00.0019" for 1.0.0.19, the way the Windows program always showed it.

function(dozozeda_zero_padded out number width)
    string(LENGTH "${number}" length)
    while(length LESS width)
        string(PREPEND number 0)
        math(EXPR length "${length} + 1")
    endwhile()
    set(${out} "${number}" PARENT_SCOPE)
endfunction()

dozozeda_zero_padded(minor "${PROJECT_VERSION_MINOR}" 2)
dozozeda_zero_padded(build "${PROJECT_VERSION_TWEAK}" 4)
set(DOZOZEDA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${minor}.${build}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/DozozedaVersion.h.in
    ${PROJECT_BINARY_DIR}/generated/DozozedaVersion.h @ONLY)
add_library(dozozeda_version INTERFACE)
target_include_directories(dozozeda_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
