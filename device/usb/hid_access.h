// How the Windows HID backend opens an interface, as a rule over two calls,
// so that the rule is the same on Windows and in the tests on any system.
#pragma once

#include <string>

// The system's open of a HID interface path.
class IHidOpenCalls {
public:
    virtual ~IHidOpenCalls() = default;
    // A handle, or null with the system's error code in error. readWrite
    // false opens with no access at all.
    virtual void* Open(const std::string& path, bool readWrite, unsigned long& error) = 0;
};

// ERROR_ACCESS_DENIED.
constexpr unsigned long hidAccessDeniedError = 5;

// Opens path for reading and writing. When access is denied (Windows keeps
// keyboard, mouse, pen and touch collections for itself), opens it again with
// no access; attributes, strings and feature reports work on that handle,
// and noAccess says so. Null, with the error of the first refusal, when
// neither open works.
void* OpenHidInterface(IHidOpenCalls& calls, const std::string& path, unsigned long& error, bool& noAccess);

// The feature report length the reader's collection has: report number and
// 8 data bytes.
constexpr int readerFeatureReportLength = 9;
