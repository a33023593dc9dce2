// swipe-test: what a keyboard reader's swipe really brings, set against what
// the template should give on the host's layout.
#include <iostream>
#include <memory>
#include <sstream>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "cli/key_input.h"
#include "keyboard/swipe_check.h"
#include "model/config_image.h"
#include "model/tovask_doc.h"

namespace {

const char* kSwipeTestHelp =
    "Usage: tovask-cli swipe-test [--template FILE] [--tracks T1;T2;T3] [--layout NAME] [--caps-lock]\n"
    "                             [--device /dev/input/eventN] [--idle MS]\n"
    "Waits for one swipe of a keyboard reader into this terminal and sets what\n"
    "arrived against what the template makes the reader send for that card, as\n"
    "the host's layout types it: each difference marked with what explains it\n"
    "(\"'\xC3\xA9' where the reader sent '2': layout fr\"), and the gaps between keys\n"
    "against the output delay. The swipe ends when no key came for --idle ms\n"
    "(default 1000), or at the end of standard input.\n"
    "  --template FILE   the reader's template (default: the factory template)\n"
    "  --tracks T1;T2;T3 the card's tracks (default the sample card, as preview)\n"
    "  --layout NAME     the host's layout (default the one in use)\n"
    "  --caps-lock       the host's Caps Lock is on\n"
    "  --device PATH     Linux: read the reader's own key events from its input\n"
    "                    device (the keys it really sent, before any layout)\n"
    "  --json            print one JSON object: result, exitCode, arrived, expected,\n"
    "                    layout, source, differences, gaps\n"
    "Exit 0 when every key is what the layout gives, 3 when any is not, 1 when\n"
    "nothing arrived or the keys could not be read, 2 on bad usage.\n";

struct Options {
    std::optional<std::string> templatePath, tracks, layout, device;
    bool capsLock = false;
    int idleMs = 1000;
};

std::string Shown(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ShownText(std::string(1, c)) : std::string(1, c);
    return out;
}

// Reads one swipe: the first key without a time limit, then keys until idle.
std::vector<ArrivedKey> ReadTerminalSwipe(KeyInput& input, int idleMs)
{
    std::vector<ArrivedKey> keys;
    for (std::optional<unsigned char> c = input.Read(-1); c; c = input.Read(idleMs)) {
        const std::string text(1, static_cast<char>(*c));
        if ((*c & 0xC0) == 0x80 && !keys.empty())
            keys.back().text += text;
        else
            keys.push_back({text, NowMs()});
    }
    return keys;
}

std::vector<ArrivedKey> ReadDeviceSwipe(DeviceInput& input, int idleMs)
{
    std::vector<ArrivedKey> keys;
    ReaderKeys reader;
    for (std::optional<DeviceKeyEvent> e = input.Read(-1); e; e = input.Read(keys.empty() ? -1 : idleMs))
        if (const std::optional<std::uint8_t> byte = reader.Feed(e->code, e->value))
            keys.push_back({std::string(1, static_cast<char>(*byte)), e->atMs});
    return keys;
}

int RunSwipeTest(const Options& o)
{
    CardSwipe swipe;
    if (!SwipeOf(o.tracks, std::nullopt, swipe))
        return exitUsage;
    std::string error;
    const std::string layoutName = o.layout ? *o.layout : SystemLayoutName();
    const auto layout = OpenHostLayout(layoutName, error);
    if (!layout) {
        Complain(error);
        return exitUsage;
    }
    ConfigImage image = DefaultImage();
    if (o.templatePath && !LoadTemplateFile(*o.templatePath, image))
        return exitUsage;
    TemplateRecord record;
    DecodeImage(image, record);
    const ReaderOutput out = ReaderOutputFor(record, swipe);

    std::vector<ArrivedKey> arrived;
    std::unique_ptr<HostLayout> keysLayout;  // the reader's own keys are a US keyboard's
    if (o.device) {
        const auto input = OpenDeviceInput(*o.device, error);
        if (!input || !(keysLayout = OpenHostLayout("us", error))) {
            Complain(error);
            return exitUsage;
        }
        std::cerr << "Swipe a card now (reading the keys of " << *o.device << "; Ctrl+C to stop).\n";
        arrived = ReadDeviceSwipe(*input, o.idleMs);
    } else {
        const auto input = OpenTerminalInput(error);
        if (!input) {
            Complain(error);
            return exitFailed;
        }
        std::cerr << "Swipe a card now (layout " << layout->Name() << "; Ctrl+C to stop).\n";
        arrived = ReadTerminalSwipe(*input, o.idleMs);
    }

    std::ostringstream s;
    if (arrived.empty()) {
        if (JsonMode())
            PrintJson({{"result", ResultName(exitFailed)}, {"exitCode", exitFailed}, {"message", "Nothing arrived."}});
        else
            PrintOut("Nothing arrived.\n");
        return exitFailed;
    }
    const HostLayout& against = keysLayout ? *keysLayout : *layout;
    const SwipeCheck check = CheckSwipe(arrived, out.bytes, against, o.capsLock && !keysLayout);
    std::string text;
    for (const ArrivedKey& k : arrived)
        text += k.text;
    s << (keysLayout ? "Keys:     " : "Arrived:  ") << Shown(text) << '\n';
    s << "Expected: " << Shown(check.expected) << " (" << (keysLayout ? "the reader's keys as on a US keyboard" :
          "layout " + layout->Name() + ", " + layout->Source() + (o.capsLock ? ", Caps Lock on" : "")) << ")\n";
    s << "Pace:     " << arrived.size() << " keys";
    if (arrived.size() > 1)
        s << ", gaps " << check.shortestGapMs << " to " << check.longestGapMs << " ms";
    s << " (output delay " << out.byteDelayMs << " ms)\n";
    for (const SwipeDifference& d : check.differences)
        s << "  " << d.Text() << '\n';
    if (keysLayout) {
        std::vector<std::uint8_t> keys;
        for (const ArrivedKey& k : arrived)
            keys.push_back(static_cast<std::uint8_t>(k.text[0]));
        const TypedText typed = TypeBytes(*layout, keys, o.capsLock);
        s << "Layout " << layout->Name() << " (" << layout->Source() << (o.capsLock ? ", Caps Lock on" : "")
          << ") makes of these keys: " << Shown(typed.text) << '\n';
        for (const TypedChange& c : typed.changes)
            s << "  key " << c.offset << ": " << ChangeText(c) << '\n';
    }
    s << (check.matches ? "Every key is what " : "Not every key is what ")
      << (keysLayout ? std::string("the template makes the reader send.") : "layout " + layout->Name() + " gives.")
      << '\n';
    const int code = check.matches ? exitOk : exitDiffers;
    if (JsonMode()) {
        Json differences = Json::array();
        for (const SwipeDifference& d : check.differences)
            differences.push_back(d.Text());
        const Json result = {{"result", ResultName(code)},
                             {"exitCode", code},
                             {"arrived", Shown(text)},
                             {"expected", Shown(check.expected)},
                             {"layout", layout->Name()},
                             {"source", layout->Source()},
                             {"capsLock", o.capsLock},
                             {"keys", arrived.size()},
                             {"gapsMs", {check.shortestGapMs, check.longestGapMs}},
                             {"byteDelayMs", out.byteDelayMs},
                             {"differences", differences}};
        return PrintJson(result) ? code : exitFailed;
    }
    return PrintOut(s.str()) ? code : exitFailed;
}

}  // namespace

void AddSwipeTestVerb(CLI::App& tool)
{
    auto o = std::make_shared<Options>();
    CLI::App* verb = AddVerb(tool,
                             {"swipe-test", "swipe-test [--template FILE] [--layout NAME] [--device PATH]",
                              "read one swipe of a keyboard reader and mark what differs", kSwipeTestHelp},
                             [o] { return RunSwipeTest(*o); });
    verb->add_option("--template", o->templatePath, "the reader's template file");
    verb->add_option("--tracks", o->tracks, "the card's three tracks, separated by ';'");
    verb->add_option("--layout", o->layout, "the host's keyboard layout");
    AddSwitch(*verb, "--caps-lock", o->capsLock);
    verb->add_option("--device", o->device, "Linux: the reader's input device, /dev/input/eventN");
    verb->add_flag("--json")->description("print one JSON object");
    verb->add_option("--idle", o->idleMs, "milliseconds without a key that end the swipe")->check(CLI::Range(50, 60000));
}
