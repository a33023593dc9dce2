// tovask-sim-serial: the simulated reader on a pseudo-terminal, for a program
// outside this process to use as a serial port (tovask-cli.exe under Wine,
// with COM1 mapped to the line). Prints the line's device on standard output
// and serves it until it is stopped. Each line "swipe" on standard input
// swipes the sample card: the reader sends what the template it holds makes
// of it, at its output delay.
#include <cstdio>
#include <cstring>

#include <csignal>
#include <unistd.h>

#include "sim/reader_memory.h"
#include "sim/serial_reader.h"

int main()
{
    SimReaderMemory memory;
    SimSerialReader reader(memory, SimSerialReader::Line::PseudoTerminal);
    if (!reader.IsOpen()) {
        std::fprintf(stderr, "tovask-sim-serial: %s\n", reader.ErrorText().c_str());
        return 1;
    }
    std::printf("%s\n", reader.SlavePath().c_str());
    std::fflush(stdout);
    reader.Start();
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strncmp(line, "swipe", 5) == 0)
            reader.SwipeSample();
        else
            std::fprintf(stderr, "tovask-sim-serial: unknown command (only \"swipe\")\n");
    }
    for (;;)
        ::pause();
}
