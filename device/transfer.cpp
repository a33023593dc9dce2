#include "device/transfer.h"

#include "model/template_compare.h"

namespace {

// The window's host for a read whose result only is wanted: notices and
// redraws reach the window, the panel is not touched.
class ReadOnlyHost : public IProcedureHost {
public:
    explicit ReadOnlyHost(IProcedureHost& host) : m_host(host) {}
    bool UpdateTemplateFromPanel() override { return true; }
    void UpdatePanelFromTemplate() override {}
    void SetBusyNotice(const std::string& text) override { m_host.SetBusyNotice(text); }
    void Redraw() override { m_host.Redraw(); }

private:
    IProcedureHost& m_host;
};

class LastMessage : public IMessageSink {
public:
    void ShowMessage(const std::string& message, Icon shown) override
    {
        text = message;
        icon = shown;
    }
    std::string text;
    Icon icon = Icon::Exclamation;
};

}  // namespace

std::string PortKindName(int portKind)
{
    if (portKind == portKindUSB)
        return "USB";
    if (portKind == portKindPS2)
        return "PS2";
    if (IsComPortKind(portKind))
        return "COM" + std::to_string(portKind - 1);
    return {};
}

void OnWriteIntoMR(TransferContext& ctx)
{
    if (ctx.portKind == portKindUSB) {
        WriteOverUSB(ctx);
    } else if (ctx.portKind == portKindPS2) {
        WriteOverPS2(ctx);
    } else if (IsComPortKind(ctx.portKind)) {
        if (ctx.comPortReady)
            WriteOverCOM(ctx);
        else
            ctx.sink.ShowMessage(msg::noComPortOpened);
    }
}

void OnReadFromMR(TransferContext& ctx)
{
    if (ctx.portKind == portKindUSB) {
        ReadOverUSB(ctx);
    } else if (ctx.portKind == portKindPS2) {
        ReadOverPS2(ctx);
    } else if (IsComPortKind(ctx.portKind)) {
        if (ctx.comPortReady)
            ReadOverCOM(ctx);
        else
            ctx.sink.ShowMessage(msg::noComPortOpened);
    }
}

void OnVerifyMR(TransferContext& ctx)
{
    if (!ctx.host.UpdateTemplateFromPanel())
        return;
    ConfigImage mine = ctx.doc.image;
    EncodeImage(ctx.doc.record, mine);

    CTovaskDoc reread;
    ReadOnlyHost host(ctx.host);
    LastMessage readMessage;
    TransferContext read{reread, host, readMessage, ctx.sleeper, ctx.portKind, ctx.comPortReady,
                         ctx.com, ctx.kb, ctx.usb, ctx.usbIds};
    OnReadFromMR(read);
    if (readMessage.text != msg::readingOk) {
        ctx.sink.ShowMessage(readMessage.text, readMessage.icon);
        return;
    }
    const std::vector<std::string> differences = WindowDifferences(mine, reread.image);
    if (differences.empty()) {
        ctx.sink.ShowMessage(msg::verifySame, IMessageSink::Icon::Information);
        return;
    }
    std::string text = msg::verifyDiffers;
    for (const std::string& line : differences)
        text += "\n" + line;
    ctx.sink.ShowMessage(text);
}
