// Runs quillet-match as a shell would and keeps what it wrote.
#pragma once

#include <string>

struct ToolRun {
    int status; // the exit code; -1 when the program did not exit
    std::string out;
    std::string err;
};

// quillet-match with arguments, its output kept in files under work.
ToolRun RunTool(const std::string& arguments, const std::string& work);
