// Runs quillet-match as a shell would and keeps what it wrote.
#include "tool_run.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <utility>

ToolRun RunTool(const std::string& arguments, const std::string& work) {
    std::string command = std::string(QUILLET_MATCH) + " " + arguments + " >" + work +
                          "/out.txt 2>" + work + "/err.txt";
    int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    for (auto [name, text] :
         {std::pair<const char*, std::string*>{"/out.txt", &run.out}, {"/err.txt", &run.err}}) {
        std::ifstream in(work + name);
        std::stringstream all;
        all << in.rdbuf();
        *text = all.str();
    }
    return run;
}
