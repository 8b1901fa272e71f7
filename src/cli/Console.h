#pragma once

#include <string>
#include <vector>

namespace tervane {

// The terminal the tool writes to, one file per system (ConsolePosix.cpp, ConsoleWindows.cpp).

// Sets the console up once at start: on Windows UTF-8 output, escape sequences understood,
// and files opened as bytes, never as translated text. Nothing to do on POSIX.
void PrepareConsole();

// Whether standard input (0), output (1) or error (2) is a terminal; on Windows a console
// that takes the escape sequences the progress bar draws with.
bool IsTerminalStream(int stream);

// The width of standard error's terminal in columns; 0 when it has none.
int TerminalColumns();

// The arguments after the program's name, in UTF-8. On Windows they are read from the wide
// command line: the narrow ones main() is given are in the system's code page, which turns
// what it lacks into "?".
std::vector<std::string> CommandArguments(int argc, char** argv);

} // namespace tervane
