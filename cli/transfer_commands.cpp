// write and read: the reader verbs.
#include <iostream>

#include "cli/commands.h"

int CmdWrite(const std::vector<std::string>&)
{
    std::cerr << "tovask-cli: write is not available in this build\n";
    return exitFailed;
}

int CmdRead(const std::vector<std::string>&)
{
    std::cerr << "tovask-cli: read is not available in this build\n";
    return exitFailed;
}
