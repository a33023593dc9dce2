// write --each: one template into reader after reader, each written and
// verified, with a line per reader, an optional JSON log, and Ctrl+C that
// ends the run only between readers.
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "cli/cli_io.h"
#include "cli/json.h"
#include "cli/reader_link.h"
#include "device/usb/usb_port.h"
#include "model/sha256.h"
#include "sim/usb_reader.h"

namespace {

constexpr int kPollMs = 250;
// With --simulate, how long the simulated hands take to take a reader away
// and to connect the next.
constexpr int kSimRemoveMs = 1000;
constexpr int kSimConnectMs = 300;

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// Ctrl+C sets the flag and cuts a wait short; during a transfer it is held
// back until the transfer is done, so no frame is cut in half.
class InterruptGuard {
public:
    InterruptGuard()
    {
#ifdef _WIN32
        std::signal(SIGINT, OnInterrupt);
#else
        struct sigaction sa = {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no restart: a wait for Enter ends at once
        sigaction(SIGINT, &sa, &m_old);
#endif
    }
    ~InterruptGuard()
    {
#ifdef _WIN32
        std::signal(SIGINT, SIG_DFL);
#else
        sigaction(SIGINT, &m_old, nullptr);
#endif
    }
    static void Hold(bool hold)
    {
#ifndef _WIN32
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
#else
        (void)hold;
#endif
    }

private:
#ifndef _WIN32
    struct sigaction m_old = {};
#endif
};

void Say(const std::string& line) { PrintOut(line + "\n"); }

std::string UtcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &now);
#else
    gmtime_r(&now, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// Where readers come and go, and how the run notices.
class Arrivals {
public:
    Arrivals(const WriteOptions& o, ReaderLink& link) : m_link(link)
    {
        const int kind = link.Links().PortKind();
        m_usb = kind == portKindUSB;
        if (IsComPortKind(kind) && o.link.port.find('/') != std::string::npos)
            m_devicePath = link.Simulated() ? link.Simulated()->SerialDevicePath() : o.link.port;
        m_fixed = !m_usb && m_devicePath.empty();
    }

    bool Fixed() const { return m_fixed; }

    // The readers present now (their paths).
    std::vector<std::string> Present()
    {
        Simulate();
        std::vector<std::string> paths;
        if (m_usb) {
            std::vector<HidListing> list;
            if (ListHidInterfaces(m_link.Links().Usb()->Backend(), m_link.Links().GetUsbIds(), list))
                for (const HidListing& l : list)
                    if (l.reader)
                        paths.push_back(l.path);
        } else if (!m_devicePath.empty()) {
            std::error_code ec;
            if (m_link.Simulated() ? m_simPlugged : std::filesystem::exists(m_devicePath, ec))
                paths.push_back(m_devicePath);
        }
        return paths;
    }

    // Waits until a reader not in done is present: its path, or "" when
    // the run was interrupted.
    std::string WaitForNew(const std::set<std::string>& done)
    {
        for (;;) {
            for (const std::string& p : Present())
                if (!done.count(p))
                    return p;
            if (!Pause())
                return {};
        }
    }

    // Waits until path is gone: false when interrupted.
    bool WaitForGone(const std::string& path)
    {
        for (;;) {
            bool present = false;
            for (const std::string& p : Present())
                present = present || p == path;
            if (!present)
                return true;
            if (!Pause())
                return false;
        }
    }

    // With --simulate, the hands that take the reader away and connect a new one.
    void AfterRemovePrompt() { Schedule(false, kSimRemoveMs); }
    void AfterConnectPrompt() { Schedule(true, kSimConnectMs); }

private:
    bool Pause()
    {
        for (int waited = 0; waited < kPollMs; waited += 50) {
            if (g_interrupted)
                return false;
            DefaultSleeper().Sleep(50);
        }
        return !g_interrupted;
    }

    void Schedule(bool plug, int afterMs)
    {
        if (!m_link.Simulated())
            return;
        m_simPending = plug ? 1 : 0;
        m_simDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(afterMs);
    }

    void Simulate()
    {
        SimReader* sim = m_link.Simulated();
        if (!sim || m_simPending < 0 || std::chrono::steady_clock::now() < m_simDue)
            return;
        const bool plug = m_simPending == 1;
        m_simPending = -1;
        m_simPlugged = plug;
        if (plug)
            sim->Memory() = SimReaderMemory();  // a new reader, with the default template
        if (sim->Usb())
            sim->Usb()->unplugged = !plug;
        if (sim->Serial())
            sim->Serial()->SetUnplugged(!plug);
    }

    ReaderLink& m_link;
    bool m_usb = false;
    bool m_fixed = false;
    std::string m_devicePath;
    bool m_simPlugged = true;
    int m_simPending = -1;  // 1 plug, 0 unplug, -1 nothing to do
    std::chrono::steady_clock::time_point m_simDue;
};

struct Result {
    std::string result;  // "ok", "failed", "skipped"
    std::string message;
    std::vector<Difference> differences;
};

// One reader: read first with --if-different, write, read back, compare.
Result Program(const WriteOptions& o, ReaderLink& link, const ConfigImage& image)
{
    ConfigImage back{};
    if (o.ifDifferent && link.Read(back, true) == exitOk && Differences(image, back).empty())
        return {"skipped", "The reader already holds " + o.file + ".", {}};
    if (link.Write(image) != exitOk)
        return {"failed", link.Sink().last, {}};
    if (link.Read(back, true) != exitOk)
        return {"failed", link.Sink().last, {}};
    std::vector<Difference> differences = Differences(image, back);
    if (!differences.empty())
        return {"failed", "The reader holds other values than " + o.file + ":", differences};
    return {"ok", "written and verified", {}};
}

}  // namespace

int WriteEach(const WriteOptions& o)
{
    ConfigImage image{};
    if (!LoadTemplateFile(o.file, image))
        return exitUsage;
    std::ofstream log;
    if (!o.log.empty()) {
        log.open(o.log, std::ios::app);
        if (!log) {
            std::cerr << "tovask-cli: " << o.log << ": cannot be opened for appending\n";
            return exitUsage;
        }
    }
    ReaderLink link(o.link, true);
    if (const int code = link.Open(); code == exitUsage)
        return code;
    Arrivals arrivals(o, link);
    InterruptGuard guard;
    g_interrupted = 0;
    const std::string digest = Sha256Hex(image.data(), image.size());

    int written = 0, failed = 0, skipped = 0;
    std::set<std::string> done;  // readers programmed and not yet taken away
    for (int n = 1; o.count == 0 || n <= o.count; ++n) {
        std::string path = arrivals.Fixed() ? link.Path() : arrivals.WaitForNew(done);
        if (g_interrupted)
            break;
        InterruptGuard::Hold(true);
        Result r;
        if (const int code = arrivals.Fixed() ? exitOk : link.Restart(); code != exitOk)
            r = {"failed", link.Sink().last, {}};
        else
            r = Program(o, link, image);
        InterruptGuard::Hold(false);
        if (path.empty())
            path = link.Path();
        (r.result == "failed" ? failed : r.result == "skipped" ? skipped : written) += 1;
        std::string line = "reader " + std::to_string(n) + " " + (path.empty() ? o.link.port : path) + ": " + r.message;
        for (const Difference& d : r.differences)
            line += "\n" + d.line;
        Say(line);
        if (log.is_open()) {
            Json names = Json::array();
            for (const Difference& d : r.differences)
                names.push_back(d.name);
            const Json entry = {{"time", UtcNow()}, {"n", n},           {"port", o.link.port},
                                {"path", JsonBytes(path)}, {"serial", ""}, {"file", JsonBytes(o.file)},
                                {"template", digest},     {"result", r.result}, {"message", JsonBytes(r.message)},
                                {"differences", names}};
            log << entry.dump(-1, ' ', true) << std::endl;
        }
        if ((o.count != 0 && n >= o.count) || g_interrupted)
            break;
        if (arrivals.Fixed()) {
            Say("Connect the next reader and press Enter.");
            std::string answer;
            if (!std::getline(std::cin, answer) || g_interrupted)
                break;
            continue;
        }
        // The link programs the first reader it finds, so each is taken
        // away before the next.
        done.insert(path);
        Say("Remove the reader.");
        arrivals.AfterRemovePrompt();
        if (!arrivals.WaitForGone(path))
            break;
        done.erase(path);
        Say("Connect the next reader.");
        arrivals.AfterConnectPrompt();
    }
    Say(std::to_string(written) + " written and verified, " + std::to_string(failed) + " failed" +
        (skipped ? ", " + std::to_string(skipped) + " already held the template" : ""));
    return failed == 0 ? exitOk : exitFailed;
}
