// What the editor takes from its settings store (the one that holds the
// recent-file list) about the reader it talks to.
#pragma once

#include <string>

#include "device/usb/usb_ids.h"

// Hands the user's serial device names (settings Ports/COM1 .. Ports/COM8)
// to the serial link.
void ApplyPortSettings();

// The USB reader's identifiers: TOVASK_USB_VID / TOVASK_USB_PID, then the
// settings USB/VendorId and USB/ProductId (hex text), then the build's pair.
// A malformed value is an error naming it: false, with error set.
bool EditorUsbIds(UsbIds& out, std::string& error);
