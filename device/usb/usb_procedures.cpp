// Write into MR and Read from MR over the USB link.
#include <algorithm>

#include "device/transfer.h"
#include "device/usb/usb_port.h"

namespace {

void GiveWantedIds(CUSBport& usb, UsbIds ids)
{
    usb.wantedVendorId = ids.vendorId;
    usb.wantedProductId = ids.productId;
}

bool FindAndOpen(CUSBport& usb, UsbIds ids)
{
    GiveWantedIds(usb, ids);
    return usb.FindDevice() && usb.OpenDevice();
}

}  // namespace

void WriteOverUSB(TransferContext& ctx)
{
    if (!ctx.host.UpdateTemplateFromPanel())
        return;
    ctx.doc.EncodeImage();
    if (!ctx.usb) {
        ctx.sink.ShowMessage(msg::noUsbReader);
        return;
    }
    CUSBport& usb = *ctx.usb;
    const ConfigImage& image = ctx.doc.image;

    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!FindAndOpen(usb, ctx.usbIds)) {
            usb.CloseDevice();
            ctx.sink.ShowMessage(msg::noUsbReader);
            return;
        }
        usb.reportBuffer.fill(0x00);
        std::copy(image.begin(), image.end(), usb.reportBuffer.begin());
        std::copy(ctx.doc.imageTrailer.begin(), ctx.doc.imageTrailer.end(), usb.reportBuffer.begin() + imageSize);
        usb.reportBuffer[imageSize + trailerSize] = XorOf(usb.reportBuffer.data(), imageSize + trailerSize);

        if (!usb.WriteImage(ctx.sleeper)) {
            usb.CloseDevice();
            ctx.sink.ShowMessage(msg::usbWritingDone);
            return;
        }
        ctx.sleeper.Sleep(50);
        if (usb.ReadImage(ctx.sleeper) && std::equal(image.begin(), image.end(), usb.reportBuffer.begin())) {
            ctx.sink.ShowMessage(msg::writingOk);
            usb.CloseDevice();
            return;
        }
        usb.CloseDevice();
        ctx.sleeper.Sleep(400);
    }
    ctx.sink.ShowMessage(msg::usbWritingError2);
}

void ReadOverUSB(TransferContext& ctx)
{
    if (!ctx.usb) {
        ctx.sink.ShowMessage(msg::noUsbReader);
        return;
    }
    CUSBport& usb = *ctx.usb;
    GiveWantedIds(usb, ctx.usbIds);
    if (!usb.FindDevice()) {
        ctx.sink.ShowMessage(msg::noUsbReader);
        return;
    }
    if (!usb.OpenDevice()) {
        ctx.sink.ShowMessage(msg::noUsbReader);
        ctx.host.Redraw();
        return;
    }
    if (!usb.ReadImage(ctx.sleeper)) {
        ctx.sink.ShowMessage(msg::usbReadingError);
        usb.CloseDevice();
        ctx.host.Redraw();
        return;
    }
    std::copy_n(usb.reportBuffer.begin(), imageSize, ctx.doc.image.begin());
    ctx.doc.DecodeImage();
    ctx.host.UpdatePanelFromTemplate();
    ctx.sink.ShowMessage(msg::readingOk);
    usb.CloseDevice();
    ctx.host.Redraw();
}
