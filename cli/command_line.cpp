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

// "info", "medium" or "high".
bool ParseSeverity(const std::wstring& text, sdb::AuditSeverity& severity) {
    const sdb::AuditSeverity levels[] = {sdb::AuditSeverity::Info, sdb::AuditSeverity::Medium,
                                         sdb::AuditSeverity::High};
    const wchar_t* const names[] = {L"info", L"medium", L"high"};
    for (size_t i = 0; i < 3; ++i) {
        if (text == names[i]) {
            severity = levels[i];
            return true;
        }
    }
    return false;
}

bool IsHelpOption(const std::wstring& argument) {
    return argument == L"--help" || argument == L"-h" || argument == L"/?" || argument == L"-?";
}

} // namespace

bool ParseCommandLine(int count, const wchar_t* const* arguments, CliOptions& options,
                      std::wstring& problem) {
    options.help = false;
    options.version = false;
    options.json = false;
    options.all = false;
    options.databases = false;
    options.layers = false;
    options.explain = false;
    options.minSeverity = sdb::AuditSeverity::Info;
    options.targets.clear();
    bool optionsEnded = false;
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = arguments[i];
        // Asked before the file test, since "/?" does not start with a dash.
        if (!optionsEnded && IsHelpOption(argument)) {
            options.help = true;
        } else if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            options.targets.push_back(FileTarget(argument));
        } else if (argument == L"--version") {
            options.version = true;
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--json") {
            options.json = true;
        } else if (argument == L"--all") {
            options.all = true;
        } else if (argument == L"--databases") {
            options.databases = true;
        } else if (argument == L"--layers") {
            options.layers = true;
        } else if (argument == L"--explain") {
            options.explain = true;
        } else if (argument == L"--min-severity") {
            if (i + 1 >= count || !ParseSeverity(arguments[i + 1], options.minSeverity)) {
                problem = L"--min-severity needs info, medium or high";
                return false;
            }
            ++i;
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
    if (!options.help && !options.version && !options.all && !options.databases &&
        !options.layers && options.targets.empty()) {
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
           indent + L"[--json] [--databases] [--layers] [--min-severity LEVEL]\r\n" + indent +
           L"--help | -h | -? | /?\r\n"
           L"Reports which shim-database entries match each FILE and what is stored for it,\r\n"
           L"like a drop onto Quillet, and the shim state of running processes, like a pick:\r\n"
           L"  --pid N   the process with id N (repeatable)\r\n"
           L"  --all     every process but this one, by ascending id\r\n"
           L"  --databases  every installed shim database: its registrations, its file, who\r\n"
           L"               made it (provenance) and its audit findings\r\n"
           L"  --layers  every layer string stored per machine and per user, with the shims\r\n"
           L"            of each layer\r\n"
           L"  --min-severity LEVEL  list the findings of LEVEL (info, medium, high) and\r\n"
           L"            above; the inventory's summary counts the others\r\n"
           L"  --json    JSON Lines instead of text\r\n"
           L"  --explain after each report, why each entry matched: its database, its\r\n"
           L"            conditions against the file's attributes, its layers and fixes\r\n"
           L"  --        the arguments that follow are files\r\n"
           L"Exit codes: 0 every target reported (processes of --all that could not be opened\r\n"
           L"or ended are reported and counted, not failures); 1 a FILE does not exist, a --pid\r\n"
           L"process could not be opened (both still reported), or the process list could not\r\n"
           L"be taken, or the inventory could not read a key, value or folder (each named in\r\n"
           L"a warning); 2 usage error; 3 the inventory of --databases or --layers holds an\r\n"
           L"anomaly or an audit finding above info; 4 both 3 and 1. A run with processes\r\n"
           L"ends with a count on standard error.\r\n";
}
