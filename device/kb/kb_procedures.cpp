// Write into MR and Read from MR over the keyboard port.
#include <algorithm>
#include <cstdio>

#include "device/kb/kbio.h"
#include "device/transfer.h"

namespace {

constexpr int readTries = 5;
constexpr int blockWait = 200;
constexpr std::uint8_t imageBlocks[] = {61, 62};

// 0 found, 1 no reader, 2 no way to reach it. A platform that offers
// neither access method counts as one whose driver refused.
int Detect(CKBIO& kb)
{
    switch (kb.PlatformId()) {
    case kbPlatformDirect: {
        kb.MaskInterrupts();
        const int result = kb.DetectReader();
        kb.UnmaskInterrupts();
        return result;
    }
    case kbPlatformDriver:
        return kb.DetectReaderByDriver();
    default:
        return 2;
    }
}

bool WriteBlock(TransferContext& ctx, CKBIO& kb, std::uint8_t block, const std::uint8_t* bytes)
{
    std::copy_n(bytes, kbBlockSize, kb.blockBuffer.begin());
    if (kb.PlatformId() == kbPlatformDirect) {
        kb.MaskInterrupts();
        const bool ok = kb.WriteMemoryBlock(block);
        kb.UnmaskInterrupts();
        ctx.sleeper.Sleep(blockWait);
        return ok;
    }
    return kb.PlatformId() == kbPlatformDriver && kb.WriteMemoryBlockByDriver(block);
}

bool ReadBlock(TransferContext& ctx, CKBIO& kb, std::uint8_t block)
{
    bool ok = false;
    if (kb.PlatformId() == kbPlatformDirect) {
        kb.MaskInterrupts();
        ok = kb.ReadMemoryBlock(block);
        kb.UnmaskInterrupts();
    } else if (kb.PlatformId() == kbPlatformDriver) {
        ok = kb.ReadMemoryBlockByDriver(block);
    }
    ctx.sleeper.Sleep(blockWait);
    return ok;
}

}  // namespace

bool ReportKbOpen(CKBIO::OpenResult result, IMessageSink& sink)
{
    switch (result) {
    case CKBIO::OpenResult::Ok:
        return true;
    case CKBIO::OpenResult::NoSystemInfo:
        sink.ShowMessage(kbmsg::wrongSystemInfo);
        return false;
    case CKBIO::OpenResult::NoDriver:
        sink.ShowMessage(kbmsg::cantOpenDriver, IMessageSink::Icon::Error);
        return false;
    }
    return false;
}

void WriteOverPS2(TransferContext& ctx)
{
    if (!ctx.host.UpdateTemplateFromPanel())
        return;
    ctx.doc.EncodeImage();
    const int detected = ctx.kb ? Detect(*ctx.kb) : 2;
    if (detected != 0) {
        ctx.sink.ShowMessage(detected == 1 ? msg::ps2WriteNotDetected : msg::ps2WriteNoDriver);
        return;
    }
    CKBIO& kb = *ctx.kb;
    ctx.host.SetBusyNotice(msg::ps2Writing);
    // The first block that fails ends the write: nothing more is sent to a
    // reader that may still be inside that block's frame, where further
    // requests would land as data.
    const bool allWritten = WriteBlock(ctx, kb, 61, ctx.doc.image.data())
                            && WriteBlock(ctx, kb, 62, ctx.doc.image.data() + kbBlockSize)
                            && WriteBlock(ctx, kb, 63, ctx.doc.imageTrailer.data());
    ctx.sink.ShowMessage(allWritten ? msg::writingOk : msg::writingError);
    ctx.host.SetBusyNotice({});
    ctx.host.Redraw();
}

void ReadOverPS2(TransferContext& ctx)
{
    const int detected = ctx.kb ? Detect(*ctx.kb) : 2;
    if (detected != 0) {
        ctx.sink.ShowMessage(detected == 1 ? msg::ps2ReadNotDetected : msg::ps2ReadNoDriver);
        return;
    }
    CKBIO& kb = *ctx.kb;
    ctx.host.SetBusyNotice(msg::ps2Reading);
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t block = imageBlocks[i];
        bool ok = false;
        // A wrong answer is tried again; a reader that stopped answering is not.
        for (int t = 0; t < readTries && !ok; ++t) {
            ok = ReadBlock(ctx, kb, block);
            if (!ok && kb.ReaderLost())
                break;
        }
        if (!ok) {
            char text[64];
            std::snprintf(text, sizeof text, msg::ps2ReadErrorFormat, block);
            ctx.sink.ShowMessage(text);
            ctx.doc.ResetImage();
            ctx.host.SetBusyNotice({});
            return;
        }
        std::copy_n(kb.blockBuffer.begin(), kbBlockSize, ctx.doc.image.begin() + kbBlockSize * i);
    }
    ctx.doc.DecodeImage();
    ctx.host.UpdatePanelFromTemplate();
    ctx.sink.ShowMessage(msg::readingOk);
    ctx.host.SetBusyNotice({});
    ctx.host.Redraw();
}
