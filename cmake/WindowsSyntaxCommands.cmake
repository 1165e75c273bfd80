# cmake -D COMPILE_COMMANDS=<build>/compile_commands.json -D SOURCE_DIR=<sources> -D COMPILER=<g++>
#       -D OUTPUT=<file> -P WindowsSyntaxCommands.cmake
# Run by scripts/windows-check.sh. Writes to OUTPUT one line "<source>\t<directory>\t<command>" for every
# source under core/ and src/ that the build compiles: the build's own command (its defines, the Qt
# include folders, the autogen folders) with COMPILER in place of the build's compiler, checking the
# syntax only.
cmake_minimum_required(VERSION 3.19) # string(JSON)

file(READ "${COMPILE_COMMANDS}" entries)
string(JSON count LENGTH "${entries}")
set(lines "")
if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(index RANGE ${last})
        string(JSON source GET "${entries}" ${index} file)
        string(JSON directory GET "${entries}" ${index} directory)
        string(JSON command GET "${entries}" ${index} command)
        file(RELATIVE_PATH relative "${SOURCE_DIR}" "${source}")
        if(NOT relative MATCHES "^(core|src)/")
            continue()
        endif()
        # The compiler is the first word, quoted when its path holds a blank.
        string(REGEX REPLACE "^(\"[^\"]*\"|[^ ]+)" "${COMPILER}" command "${command}")
        string(APPEND lines "${source}\t${directory}\t${command} -std=c++17 -fsyntax-only\n")
    endforeach()
endif()
file(WRITE "${OUTPUT}" "${lines}")
