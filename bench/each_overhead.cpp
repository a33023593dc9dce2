// tovask-each-overhead: what write --each adds per reader beyond the link's
// own waits, from the moment a reader is seen to its result, and how long
// the look that sees it takes (it runs once per poll interval, 250 ms).
// Runs tovask-cli --verbose write --each on the simulated reader and reads
// the tool's own per-reader measurements from its trace.
//   tovask-each-overhead [--readers N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

namespace {

struct Figures {
    std::vector<double> beyond;
    std::vector<double> look;
};

bool Run(const std::string& command, Figures& figures)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return false;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        int n = 0;
        double total = 0, beyond = 0, look = 0;
        long long waits = 0;
        if (std::sscanf(line,
                        "each: reader %d: %lf ms from being seen to its result, %lld ms of them the link's waits: "
                        "%lf ms beyond them; the look that saw it took %lf ms",
                        &n, &total, &waits, &beyond, &look)
            == 5) {
            figures.beyond.push_back(beyond);
            figures.look.push_back(look);
        }
    }
    return pclose(p) == 0;
}

void Print(const char* name, const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    std::printf("  %-44s mean %.2f ms, worst %.2f ms\n", name, sum / static_cast<double>(values.size()),
                *std::max_element(values.begin(), values.end()));
}

}  // namespace

int main(int argc, char** argv)
{
    int readers = 5;
    if (argc == 3 && std::string(argv[1]) == "--readers")
        readers = std::max(1, std::atoi(argv[2]));
    const std::string cli = TOVASK_CLI_PATH;
    const std::string file = (std::filesystem::temp_directory_path() / "tovask-each-overhead.mtl").string();
    if (std::system(("\"" + cli + "\" new \"" + file + "\"").c_str()) != 0) {
        std::fprintf(stderr, "tovask-each-overhead: %s new failed\n", cli.c_str());
        return 1;
    }
    std::vector<std::string> ports = {"USB"};
#ifndef _WIN32
    ports.push_back("/dev/ttyUSB7");
#endif
    bool ok = true;
    for (const std::string& port : ports) {
        Figures figures;
        const std::string command = "\"" + cli + "\" --verbose write \"" + file + "\" --port " + port +
                                    " --each --simulate --count " + std::to_string(readers) + " 2>&1";
        if (!Run(command, figures) || static_cast<int>(figures.beyond.size()) != readers) {
            std::fprintf(stderr, "tovask-each-overhead: %s: the run did not program %d readers\n", port.c_str(), readers);
            ok = false;
            continue;
        }
        std::printf("%s, %d simulated readers:\n", port.c_str(), readers);
        Print("seen to result, beyond the link's waits:", figures.beyond);
        Print("the look that saw the reader:", figures.look);
    }
    std::filesystem::remove(file);
    return ok ? 0 : 1;
}
