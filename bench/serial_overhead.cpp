// tovask-serial-overhead: how much longer a serial write and read take than
// their fixed waits (100 + 10 + 100 + 100 ms and 100 + 250 + 100 ms), on a
// real serial line with the real sleeper. A small program rather than a
// Google Benchmark so that the Windows build runs the same measurement.
//   tovask-serial-overhead [--port COMn|DEVICE] [--runs N]
// Without --port the simulated reader serves a pseudo-terminal of its own
// (POSIX); with --port a reader is expected on that port.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "device/com/com_port.h"
#include "device/transfer.h"
#include "model/tovask_doc.h"
#include "sim/serial_reader.h"

namespace {

class LastMessage : public IMessageSink {
public:
    void ShowMessage(const std::string& text, Icon) override { last = text; }
    std::string last;
};

// Runs the procedure and prints its time beside its fixed waits; false when
// a run did not end in okText.
bool Measure(const char* name, void (*procedure)(TransferContext&), TransferContext& ctx, LastMessage& sink,
             const char* okText, double fixedMs, int runs)
{
    double total = 0;
    double worst = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        procedure(ctx);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (sink.last != okText) {
            std::fprintf(stderr, "tovask-serial-overhead: %s ended with \"%s\"\n", name, sink.last.c_str());
            return false;
        }
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("%-5s fixed waits %.0f ms, mean %.1f ms: overhead mean %.2f ms, worst %.2f ms (%d runs)\n", name,
                fixedMs, total / runs, total / runs - fixedMs, worst - fixedMs, runs);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string port;
    int runs = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: tovask-serial-overhead [--port COMn|DEVICE] [--runs N]\n");
            return 2;
        }
    }
    int comNumber = 1;
    SimReaderMemory memory;
    std::unique_ptr<SimSerialReader> reader;
    if (port.empty()) {
        reader = std::make_unique<SimSerialReader>(memory, SimSerialReader::Line::PseudoTerminal);
        if (!reader->IsOpen()) {
            std::fprintf(stderr, "tovask-serial-overhead: %s; name a port with --port\n", reader->ErrorText().c_str());
            return 1;
        }
        reader->Start();
        SetComDeviceOverride(comNumber, reader->SlavePath());
    } else if (port.size() == 4 && port.compare(0, 3, "COM") == 0 && port[3] >= '1' && port[3] <= '8') {
        comNumber = port[3] - '0';
    } else {
        SetComDeviceOverride(comNumber, port);
    }

    CComPort link;
    CTovaskDoc doc;
    doc.record.outputDelay = 17;
    PanelessHost host;
    LastMessage sink;
    RealSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper, portKindCOM1 + comNumber - 1, true, &link};
    const bool ok = Measure("write", WriteOverCOM, ctx, sink, msg::writingOk, 310, runs)
                    && Measure("read", ReadOverCOM, ctx, sink, msg::readingOk, 450, runs);
    if (reader)
        reader->Stop();
    return ok ? 0 : 1;
}
