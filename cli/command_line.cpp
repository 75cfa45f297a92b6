// Parsing of the console program's arguments, and its usage text.
#include "command_line.h"

namespace {

// Decimal digits only, within the range of a process id.
bool ParseProcessId(const std::wstring& text, DWORD& processId) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    ULONGLONG value = 0;
    for (wchar_t digit : text) {
        if (digit < L'0' || digit > L'9') {
            return false;
        }
        value = value * 10 + static_cast<ULONGLONG>(digit - L'0');
    }
    if (value > 0xFFFFFFFFULL) {
        return false;
    }
    processId = static_cast<DWORD>(value);
    return true;
}

CliTarget FileTarget(const std::wstring& path) {
    const CliTarget target = {false, path, 0};
    return target;
}

} // namespace

bool ParseCommandLine(int count, const wchar_t* const* arguments, CliOptions& options,
                      std::wstring& problem) {
    options.help = false;
    options.json = false;
    options.all = false;
    options.explain = false;
    options.targets.clear();
    bool optionsEnded = false;
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            options.targets.push_back(FileTarget(argument));
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            options.help = true;
        } else if (argument == L"--json") {
            options.json = true;
        } else if (argument == L"--all") {
            options.all = true;
        } else if (argument == L"--explain") {
            options.explain = true;
        } else if (argument == L"--pid") {
            CliTarget target = {true, std::wstring(), 0};
            if (i + 1 >= count || !ParseProcessId(arguments[i + 1], target.processId)) {
                problem = L"--pid needs a process id";
                return false;
            }
            ++i;
            options.targets.push_back(target);
        } else {
            problem = L"unknown option " + argument;
            return false;
        }
    }
    if (!options.help && !options.all && options.targets.empty()) {
        problem = L"nothing to report";
        return false;
    }
    return true;
}

std::wstring ProgramName() {
    return sizeof(void*) == 8 ? L"quillet-cli64" : L"quillet-cli";
}

std::wstring UsageText() {
    const std::wstring name = ProgramName();
    const std::wstring indent(name.size() + 8, L' ');
    return L"usage: " + name + L" [--json] [--explain] [--all] [--pid N]... [--] [FILE]...\r\n" +
           indent +
           L"--help\r\n"
           L"Reports which shim-database entries match each FILE and what is stored for it,\r\n"
           L"like a drop onto Quillet, and the shim state of running processes, like a pick:\r\n"
           L"  --pid N   the process with id N (repeatable)\r\n"
           L"  --all     every process but this one, by ascending id\r\n"
           L"  --json    JSON Lines instead of text\r\n"
           L"  --explain after each report, why each entry matched: its database, its\r\n"
           L"            conditions against the file's attributes, its layers and fixes\r\n"
           L"  --        the arguments that follow are files\r\n"
           L"Exit codes: 0 reported; 1 a FILE does not exist or a process could not be\r\n"
           L"opened (still reported); 2 usage error.\r\n";
}
