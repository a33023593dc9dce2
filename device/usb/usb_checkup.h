// What tovask-cli doctor checks for a USB reader.
#pragma once

#include <vector>

#include "device/checkup.h"
#include "device/usb/hid_backend.h"
#include "device/usb/usb_ids.h"

// An interface with the identifiers is present; it really opens; and, with
// roots (Linux), a udev rule in the rule folders gives the user the
// reader, in a file udev reads before 73-seat-late.rules when it relies on
// uaccess.
std::vector<CheckResult> CheckUsbReader(IHidBackend& backend, UsbIds ids, const SystemRoots* roots);
