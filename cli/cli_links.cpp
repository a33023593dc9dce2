#include "cli/cli_links.h"

std::unique_ptr<CliLinks> CliLinks::Create(const std::string& port, bool, std::string& error)
{
    error = "the link for port '" + port + "' is not available in this build";
    return nullptr;
}
