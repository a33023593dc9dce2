// One reader over the link the options name, for the run of one transfer
// verb: the editor's procedures and messages, with the outcome sorted into
// the tool's exit codes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/template_compare.h"
#include "cli/verbs.h"
#include "device/link_set.h"
#include "device/transfer.h"
#include "device/usb/usb_port.h"
#include "model/tovask_doc.h"
#include "sim/simulated_reader.h"

// The help lines of the link options that read and verify share.
#define TOVASK_LINK_OPTIONS_HELP \
    "  --json        print one JSON object: result, exitCode, message, differences, path\n" \
    "  --device D    USB: the reader with this path, location or serial number\n" \
    "                (see tovask-cli devices); without it, several readers\n" \
    "                answering are refused\n" \
    "  --vid, --pid  the USB reader's identifiers (see tovask-cli devices)\n" \
    "  --simulate    use the built-in simulated reader\n" \
    "  --readers N   with --simulate on USB: N identical simulated readers\n" \
    "  --fault=NAME  make the simulated reader misbehave: stop, late, garble,\n" \
    "                refuse[=N], vanish, cts-low, drift[=N]\n"

struct WriteOptions;
// write --each: reader after reader, until --count or Ctrl+C.
int WriteEach(const WriteOptions& o);

// The options every transfer verb takes.
struct LinkOptions {
    std::string port;
    bool simulate = false;
    std::optional<std::string> fault;
    UsbIdOptions ids;
    bool json = false;
    std::string device;  // --device: a USB reader's path, location or serial number
    int readers = 1;     // --readers: identical simulated USB readers
};
void AddLinkOptions(CLI::App& verb, LinkOptions& o);

struct WriteOptions {
    std::string file;
    LinkOptions link;
    bool verify = false;
    bool ifDifferent = false;
    bool each = false;
    int count = 0;  // 0: no end but Ctrl+C or the end of standard input
    std::string log;
};

// The exit code a message of the procedures means: exitOk for the success
// message named, exitUnreachable for the messages that say no reader was
// reached, exitFailed for any other.
int ExitCodeOfMessage(const std::string& message, const char* success);

// Messages go to standard output, one per line, as the editor shows them;
// with --json they are only kept. Held messages are printed only when the
// step fails (a read that is part of a write says nothing when it works).
class CliSink : public IMessageSink {
public:
    explicit CliSink(bool quiet) : m_quiet(quiet) {}
    void ShowMessage(const std::string& text, Icon) override;
    void Hold() { m_holding = true; }
    void Release(bool print);
    // Messages go to standard error from now on.
    void ToStandardError() { m_toError = true; }
    std::string last;

private:
    void Print(const std::string& text);
    bool m_quiet;
    bool m_toError = false;
    bool m_holding = false;
    std::vector<std::string> m_held;
};

class ReaderLink {
public:
    // quiet: no message is printed, whatever the options.
    explicit ReaderLink(const LinkOptions& o, bool quiet = false);
    ~ReaderLink();
    // Sets up the link and runs the start checks: exitOk, exitUsage (the
    // reason on standard error) or the code of the start's message.
    int Open();
    // The start checks again, for a reader connected since. On USB, more
    // than one reader answering is refused with the list of them:
    // exitUnreachable.
    int Restart();
    // From now on the USB link takes only the reader with this path or
    // location ("" any, refusing a choice among several).
    void ChooseDevice(const std::string& pathOrLocation);
    // The procedures; each gives exitOk, exitFailed or exitUnreachable.
    int Write(const ConfigImage& image);
    // quiet: the success message is not printed.
    int Read(ConfigImage& image, bool quiet = false);
    // The device the link used: the HID path, the serial device, or "".
    std::string Path() const;
    // The readers that answered when more than one did (Restart refused them).
    const std::vector<HidListing>& SeveralReaders() const { return m_several; }
    CliSink& Sink() { return m_sink; }
    LinkSet& Links() { return *m_links; }
    SimReader* Simulated() { return m_simulated.get(); }

private:
    int Run(void (*procedure)(TransferContext&), const char* success);

    const LinkOptions& m_options;
    CliSink m_sink;
    std::unique_ptr<SimReader> m_simulated;
    std::unique_ptr<LinkSet> m_links;
    CTovaskDoc m_doc;
    std::vector<HidListing> m_several;
};

// How a transfer verb ends: the line(s) it prints, or with --json the one
// object (result, exitCode, message, differences, path, and readers when
// several answered).
int Finish(const LinkOptions& o, ReaderLink& link, int code, const std::string& message,
           const std::vector<Difference>& differences = {});

// One write as write and write --each make it: with ifDifferent the reader
// is read first and not written when it holds the image already; with
// verify it is read back after the write and compared.
struct WriteResult {
    int code = 0;          // an exit code
    std::string message;   // the last word: the procedure's message, or what the comparison says
    std::vector<Difference> differences;
    bool skipped = false;  // the reader held the image already
    bool compared = false; // message is the comparison's, not a procedure's
};
WriteResult WriteVerified(ReaderLink& link, const ConfigImage& image, const std::string& file, bool ifDifferent,
                          bool verify);

// A file that cannot be read or saved (said: "FILE: cause"): exitUsage, and
// with --json the object that says so.
int FileFailed(const LinkOptions& o, ReaderLink& link, const std::string& said);

// Prints "The reader holds other values than FILE:" and the differences
// (or keeps them for --json): exitDiffers; or "The reader holds FILE.":
// exitOk.
int Compare(const LinkOptions& o, ReaderLink& link, const std::string& file, const ConfigImage& fileImage,
            const ConfigImage& readerImage);
