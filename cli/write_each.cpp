// write --each: one template into reader after reader, each written and
// verified, with a line per reader, an optional JSON log, and Ctrl+C (or
// SIGTERM, SIGHUP) that ends the run only between readers. What was done to
// a reader is in the log, synced to the disk, before its line is printed.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "cli/cli_io.h"
#include "cli/json.h"
#include "cli/reader_link.h"
#include "device/com/com_port.h"
#include "device/device_node.h"
#include "cli/run_control.h"
#include "device/trace.h"
#include "device/usb/usb_port.h"
#include "model/sha256.h"
#include "sim/usb_reader.h"

namespace {

constexpr int kPollMs = 250;
// With --simulate, how long the simulated hands take to take a reader away
// and to connect the next.
constexpr int kSimRemoveMs = 1000;
constexpr int kSimConnectMs = 300;

// A line for the person at the bench: on standard output, or with --json
// (which keeps standard output for the JSON lines) on standard error.
bool Say(const std::string& line)
{
    if (JsonMode()) {
        std::cerr << line << std::endl;
        return true;
    }
    return PrintOut(line + "\n");
}

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

// A reader present: its path, the USB serial-number string ("" if none) and
// where it is plugged in ("" where unknown).
struct Present {
    std::string path;
    std::string serial;
    std::string location;
    // Which reader it is: its serial number at its place. A path can be
    // given to the next reader as soon as this one is gone.
    std::string Key() const { return serial + "@" + (location.empty() ? path : location); }
};

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
        m_only = o.link.device;
    }

    bool Fixed() const { return m_fixed; }
    bool Usb() const { return m_usb; }

    // How long the last look at the present readers took.
    double LastLookMs() const { return m_lastLookMs; }

    // The readers present now, in the system's order.
    std::vector<Present> Readers()
    {
        Simulate();
        const auto start = std::chrono::steady_clock::now();
        std::vector<Present> readers = Look();
        m_lastLookMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        return readers;
    }

    // A reader present that is not in done (by Key), forgetting the readers
    // of done that are gone; without one, waits (polls) for one to be
    // connected. Empty path when the run was interrupted.
    Present WaitForNew(std::set<std::string>& done, bool wait = true)
    {
        for (;;) {
            const std::vector<Present> readers = Readers();
            std::set<std::string> still;
            for (const Present& r : readers)
                if (done.count(r.Key()))
                    still.insert(r.Key());
            done.swap(still);
            for (const Present& r : readers)
                if (!done.count(r.Key()))
                    return r;
            if (!wait || !Pause())
                return {};
        }
    }

    // Waits until the reader of that Key is gone: false when interrupted.
    bool WaitForGone(const std::string& key)
    {
        for (;;) {
            bool present = false;
            for (const Present& r : Readers())
                present = present || r.Key() == key;
            if (!present)
                return true;
            if (!Pause())
                return false;
        }
    }

    // While the reader's nodes still refuse the user ("Permission denied":
    // udev has not given them yet), tries again for up to deniedRetryMs. On
    // USB any interface of the reader at its place will do: the one that
    // types the swipes is never the user's.
    void WaitWhileDenied(const Present& reader)
    {
        if (m_usb) {
            IHidBackend& backend = m_link.Links().Usb()->Backend();
            const UsbIds ids = m_link.Links().GetUsbIds();
            OpenWhileDenied(
                [&] {
                    std::vector<HidInterfaceInfo> list;
                    std::string why = "not listed";
                    backend.Enumerate(list);
                    for (const HidInterfaceInfo& i : list)
                        if (i.vendorId == ids.vendorId && i.productId == ids.productId
                            && (reader.location.empty() ? i.path == reader.path : i.location == reader.location)) {
                            if (backend.Open(i.path, &why))
                                return std::string();
                        }
                    return why;
                },
                DefaultSleeper());
        } else if (!m_devicePath.empty() && !m_link.Simulated()) {
            OpenWhileDenied(
                [&] {
                    const std::unique_ptr<ISerialBackend> port = CreateDefaultSerialBackend();
                    return port->Open(reader.path) ? std::string() : port->ErrorText();
                },
                DefaultSleeper());
        }
    }

    // With --simulate, the hands that take the reader away and connect a new one.
    void AfterRemovePrompt(const std::string& path) { Schedule(false, kSimRemoveMs, path); }
    void AfterConnectPrompt() { Schedule(true, kSimConnectMs, {}); }

private:
    std::vector<Present> Look()
    {
        std::vector<Present> readers = ListReady();
        // A reader gone is forgotten: plugged in again, it waits for udev again.
        for (auto it = m_unreadySince.begin(); it != m_unreadySince.end();)
            it = m_seen.count(it->first) ? std::next(it) : m_unreadySince.erase(it);
        m_seen.clear();
        return readers;
    }

    std::vector<Present> ListReady()
    {
        std::vector<Present> readers;
        if (m_usb) {
            // One that cannot be opened is tried all the same, so that its failure is shown.
            std::vector<HidListing> list;
            if (ListReaders(m_link.Links().Usb()->Backend(), m_link.Links().GetUsbIds(), list))
                for (const HidListing& l : list) {
                    const Present reader{l.path, l.serialNumber, l.location};
                    if ((m_only.empty() || m_only == l.path || m_only == l.location || m_only == l.serialNumber)
                        && Ready(reader, l.ready))
                        readers.push_back(reader);
                }
        } else if (!m_devicePath.empty() && m_link.Simulated()) {
            if (m_simPlugged)
                readers.push_back({m_devicePath, "", ""});
        } else if (!m_devicePath.empty()) {
            std::error_code ec;
            if (std::filesystem::exists(m_devicePath, ec)) {
                const UsbPlace place = UsbPlaceOfNode(m_devicePath);
                const Present reader{m_devicePath, place.serial, place.location};
                if (Ready(reader, DeviceNodeInitialized(m_devicePath)))
                    readers.push_back(reader);
            }
        }
        return readers;
    }

    // A reader listed before udev has finished with its node is left for a
    // later look, for up to deniedRetryMs; then it is tried all the same, so
    // that its failure is shown.
    bool Ready(const Present& reader, bool ready)
    {
        m_seen.insert(reader.Key());
        const auto now = std::chrono::steady_clock::now();
        if (ready) {
            m_unreadySince.erase(reader.Key());
            return true;
        }
        const auto since = m_unreadySince.emplace(reader.Key(), now).first->second;
        if (now - since < std::chrono::milliseconds(deniedRetryMs)) {
            Trace("each: " + reader.path + ": listed, but udev has not finished with it yet");
            return false;
        }
        return true;
    }

    bool Pause()
    {
        for (int waited = 0; waited < kPollMs; waited += 50) {
            if (EndSignal())
                return false;
            DefaultSleeper().Sleep(50);
        }
        return !EndSignal();
    }

    void Schedule(bool plug, int afterMs, const std::string& path)
    {
        if (!m_link.Simulated())
            return;
        m_simPending = plug ? 1 : 0;
        m_simPath = path;
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
        if (sim->Serial())
            sim->Serial()->SetUnplugged(!plug);
        if (!sim->Usb())
            return;
        // The reader removed goes; a new one, with a serial number of its
        // own, takes the first free place.
        for (SimHidInterface& i : sim->Usb()->interfaces) {
            if (!i.isReader || (plug ? i.present : i.path != m_simPath))
                continue;
            i.present = plug;
            if (plug) {
                char serial[16];
                std::snprintf(serial, sizeof serial, "SIM-%04d", ++m_simSerial);
                i.serialNumber = std::wstring(serial, serial + std::strlen(serial));
                // As a system shows a device just plugged in: listed before
                // udev has finished with it, then refusing the first open.
                i.unreadyListings = 1;
                i.deniedOpens = 1;
            }
            break;
        }
    }

    ReaderLink& m_link;
    bool m_usb = false;
    bool m_fixed = false;
    std::string m_devicePath;
    std::string m_only;  // --device: only this reader, each time it is connected
    bool m_simPlugged = true;
    int m_simPending = -1;  // 1 plug, 0 unplug, -1 nothing to do
    std::string m_simPath;  // the reader to take away
    double m_lastLookMs = 0;
    std::map<std::string, std::chrono::steady_clock::time_point> m_unreadySince;  // by Key
    std::set<std::string> m_seen;  // by Key, in the look at hand
    int m_simSerial = 100;
    std::chrono::steady_clock::time_point m_simDue;
};

// Adds up the waits the link asks for, so that a reader's time can be told
// apart from them.
class CountingSleeper : public ISleeper {
public:
    explicit CountingSleeper(ISleeper& inner) : m_inner(inner) {}
    void Sleep(int milliseconds) override
    {
        waited += milliseconds;
        m_inner.Sleep(milliseconds);
    }
    ISleeper& Inner() { return m_inner; }
    long long waited = 0;

private:
    ISleeper& m_inner;
};

struct Result {
    std::string result;  // "ok", "failed", "skipped"
    std::string message;
    std::vector<Difference> differences;
};

// One reader: read first with --if-different, write, read back, compare.
Result Program(const WriteOptions& o, ReaderLink& link, const ConfigImage& image)
{
    const WriteResult w = WriteVerified(link, image, o.file, o.ifDifferent, true);
    if (w.skipped)
        return {"skipped", w.message, {}};
    if (w.code != exitOk)
        return {"failed", w.message, w.differences};
    return {"ok", "written and verified", {}};
}

}  // namespace

int WriteEach(const WriteOptions& o)
{
    ConfigImage image{};
    if (!LoadTemplateFile(o.file, image))
        return exitUsage;
    ReaderLink link(o.link, true);
    if (const int code = link.Open(); code == exitUsage)
        return code;
    // Opened once the run is sure to start, before the first reader.
    SyncedLog log;
    if (std::string error; !o.log.empty() && !log.Open(o.log, error)) {
        Complain(o.log + ": " + error);
        return exitUsage;
    }
    Arrivals arrivals(o, link);
    const std::string digest = Sha256Hex(image.data(), image.size());
    CountingSleeper counting(DefaultSleeper());
    SetDefaultSleeper(&counting);
    struct Restore {
        ISleeper& previous;
        ~Restore() { SetDefaultSleeper(&previous); }
    } restore{counting.Inner()};

    int written = 0, failed = 0, skipped = 0;
    bool logFailed = false;
    std::set<std::string> done;  // readers programmed and not yet taken away
    std::map<std::string, int> serials;  // USB serial number: the reader that had it first
    for (int n = 1; o.count == 0 || n <= o.count; ++n) {
        Present reader = arrivals.Fixed() ? Present{link.Path(), "", ""} : arrivals.WaitForNew(done);
        if (EndSignal())
            break;
        const auto seen = std::chrono::steady_clock::now();
        const long long waitedBefore = counting.waited;
        // The reader's whole turn is one transfer: a signal waits for its end.
        HoldEndSignals(true);
        // Each reader by its own place, all of its interfaces (a composite
        // reader answers on another than the first): readers already
        // connected are programmed one after another.
        if (arrivals.Usb())
            link.ChooseDevice(reader.location.empty() ? reader.path : reader.location);
        if (!arrivals.Fixed())
            arrivals.WaitWhileDenied(reader);
        Result r;
        if (const int code = arrivals.Fixed() ? exitOk : link.Restart(); code != exitOk)
            r = {"failed", link.Sink().last, {}};
        else
            r = Program(o, link, image);
        HoldEndSignals(false);
        if (TraceOn()) {
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - seen).count();
            const long long waits = counting.waited - waitedBefore;
            char text[200];
            std::snprintf(text, sizeof text,
                          "each: reader %d: %.1f ms from being seen to its result, %lld ms of them the link's waits: "
                          "%.1f ms beyond them; the look that saw it took %.1f ms\n",
                          n, ms, waits, ms - static_cast<double>(waits), arrivals.LastLookMs());
            Trace(text);
        }
        if (reader.path.empty())
            reader.path = link.Path();
        // The interface written (a composite reader's is not the first listed).
        const std::string path = arrivals.Usb() && !link.Path().empty() ? link.Path() : reader.path;
        (r.result == "failed" ? failed : r.result == "skipped" ? skipped : written) += 1;
        Json names = Json::array();
        for (const Difference& d : r.differences)
            names.push_back(d.name);
        const Json entry = {{"time", UtcNow()},          {"n", n},
                            {"port", JsonName(o.link.port)}, {"path", JsonName(path)},
                            {"location", JsonName(reader.location)},
                            {"serial", JsonBytes(reader.serial)}, {"file", JsonName(o.file)},
                            {"template", digest},        {"result", r.result},
                            {"message", JsonName(r.message)}, {"differences", names}};
        const std::string entryLine = entry.dump(-1, ' ', true, Json::error_handler_t::replace);
        // The log first: a reader programmed is on the disk before anything is said of it.
        if (std::string error; log.IsOpen() && !log.Append(entryLine, error)) {
            Complain(o.log + ": " + error);
            logFailed = true;
        }
        if (JsonMode()) {
            PrintOut(entryLine + "\n");
        } else {
            std::string line = "reader " + std::to_string(n) + " " +
                               (path.empty() ? o.link.port : path) + ": " + r.message;
            for (const Difference& d : r.differences)
                line += "\n" + d.line;
            Say(line);
        }
        if (!reader.serial.empty() && !serials.emplace(reader.serial, n).second)
            Say("Warning: reader " + std::to_string(n) + " has the serial number " + reader.serial + " of reader " +
                std::to_string(serials[reader.serial]) + ".");
        // A log or an output that fails ends the run: nothing more goes unrecorded.
        if ((o.count != 0 && n >= o.count) || EndSignal() || logFailed || OutputFailed())
            break;
        if (arrivals.Fixed()) {
            if (!Say("Connect the next reader and press Enter.") || !WaitForEnter())
                break;
            continue;
        }
        done.insert(reader.Key());
        if (!arrivals.WaitForNew(done, false).path.empty())
            continue;  // another reader was connected already
        if (!Say("Remove the reader."))
            break;
        arrivals.AfterRemovePrompt(reader.path);
        if (!arrivals.WaitForGone(reader.Key()) || !Say("Connect the next reader."))
            break;
        arrivals.AfterConnectPrompt();
    }
    const int code = EndSignal()                    ? EndSignalExitCode()
                     : logFailed || OutputFailed() ? exitFailed
                     : failed == 0                 ? exitOk
                                                   : exitFailed;
    if (JsonMode()) {
        PrintJson({{"result", ResultName(code)}, {"exitCode", code}, {"written", written}, {"failed", failed},
                   {"skipped", skipped}});
    } else {
        PrintOut(std::to_string(written) + " written and verified, " + std::to_string(failed) + " failed" +
                 (skipped ? ", " + std::to_string(skipped) + " already held the template" : "") + "\n");
    }
    return code;
}
