#include "Console.h"

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <stdlib.h>

namespace tervane {

namespace {

HANDLE StreamHandle(int stream)
{
    switch (stream) {
    case 0:
        return ::GetStdHandle(STD_INPUT_HANDLE);
    case 1:
        return ::GetStdHandle(STD_OUTPUT_HANDLE);
    default:
        return ::GetStdHandle(STD_ERROR_HANDLE);
    }
}

} // namespace

void PrepareConsole()
{
    // Files the C runtime opens without saying hold bytes: no CR LF translation, no end at ^Z.
    _fmode = _O_BINARY;
    // The tool's texts are UTF-8; the console shows them so.
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
}

bool IsTerminalStream(int stream)
{
    const HANDLE handle = StreamHandle(stream);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !::GetConsoleMode(handle, &mode))
        return false;
    if (stream == 0)
        return true;
    // The progress bar and the meter redraw their line with escape sequences.
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
        ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::string> CommandArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(length > 0 ? static_cast<std::size_t>(length) : 1, '\0');
        if (length > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), length, nullptr, nullptr);
        argument.resize(argument.size() - 1); // the terminating NUL
        arguments.push_back(std::move(argument));
    }
    ::LocalFree(wide);
    return arguments;
}

} // namespace tervane
