// The system's HID interfaces on Windows: the device set-up calls list the
// interfaces of the HID class, the HID class driver answers for each one.
// An interface is listed with its attributes only, read through a handle
// without access (which even a keyboard the system holds allows): a string
// query has no time-out, and one sleeping device would hold up every
// search. An interface is opened for reading and writing, or, where Windows
// keeps the collection for itself, without access, which feature reports
// also work on.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

#include <vector>

#include "device/usb/hid_access.h"
#include "device/usb/hid_backend.h"
#include "model/win_error.h"

namespace {

constexpr ULONG stringBytes = 256;  // 128 UTF-16 units

HANDLE OpenPath(const std::string& path, DWORD access)
{
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool ReadString(BOOLEAN(__stdcall* get)(HANDLE, PVOID, ULONG), HANDLE handle, std::wstring& out)
{
    wchar_t text[stringBytes / sizeof(wchar_t) + 1] = {};
    if (!get(handle, text, stringBytes))
        return false;
    out = text;
    return true;
}

class Win32HidDevice : public IHidDevice {
public:
    explicit Win32HidDevice(HANDLE handle) : m_handle(handle) {}
    ~Win32HidDevice() override { CloseHandle(m_handle); }
    Win32HidDevice(const Win32HidDevice&) = delete;
    Win32HidDevice& operator=(const Win32HidDevice&) = delete;

    bool GetAttributes(HidAttributes& out) override
    {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!HidD_GetAttributes(m_handle, &attributes))
            return false;
        out = {attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
        return true;
    }
    bool GetManufacturerString(std::wstring& out) override
    {
        return ReadString(HidD_GetManufacturerString, m_handle, out);
    }
    bool GetProductString(std::wstring& out) override { return ReadString(HidD_GetProductString, m_handle, out); }
    bool SetFeature(const std::uint8_t* report, std::size_t length) override
    {
        return HidD_SetFeature(m_handle, const_cast<std::uint8_t*>(report), static_cast<ULONG>(length)) != FALSE;
    }
    // The class driver delivers a feature report whole or not at all.
    int GetFeature(std::uint8_t* report, std::size_t length) override
    {
        return HidD_GetFeature(m_handle, report, static_cast<ULONG>(length)) ? static_cast<int>(length) : -1;
    }
    // The class driver takes and gives only feature reports of exactly this
    // length: shorter ones fail, longer ones are cut.
    int FeatureReportLength() override
    {
        PHIDP_PREPARSED_DATA data = nullptr;
        if (!HidD_GetPreparsedData(m_handle, &data))
            return -1;
        HIDP_CAPS caps{};
        const bool ok = HidP_GetCaps(data, &caps) == HIDP_STATUS_SUCCESS;
        HidD_FreePreparsedData(data);
        return ok ? caps.FeatureReportByteLength : -1;
    }

private:
    HANDLE m_handle;
};

// The USB device a HID collection belongs to, found among its ancestors
// (the collection, a composite device's interface, the device): its first
// location path and its serial number, from the device manager alone.
void FindUsbDevice(DEVINST node, HidInterfaceInfo& info)
{
    for (int level = 0; level < 4 && CM_Get_Parent(&node, node, 0) == CR_SUCCESS; ++level) {
        char id[MAX_DEVICE_ID_LEN + 1] = {};
        std::string serial;
        if (CM_Get_Device_IDA(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS || !ParseUsbDeviceInstanceId(id, serial))
            continue;
        info.serialNumber.assign(serial.begin(), serial.end());
        char paths[1024] = {};
        ULONG length = sizeof paths - 2;
        if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_PATHS, nullptr, paths, &length, 0) == CR_SUCCESS)
            info.location = paths;  // the first of the list
        return;
    }
}

class Win32HidBackend : public IHidBackend {
public:
    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out.clear();
        GUID hidGuid;
        HidD_GetHidGuid(&hidGuid);
        HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return false;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data); ++index) {
            DWORD size = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
                continue;
            std::vector<std::uint8_t> block(size);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, &device))
                continue;
            HidInterfaceInfo info;
            info.path = detail->DevicePath;
            FindUsbDevice(device.DevInst, info);
            HANDLE query = OpenPath(info.path, 0);
            if (query != INVALID_HANDLE_VALUE) {
                Win32HidDevice device(query);
                HidAttributes attributes;
                if (device.GetAttributes(attributes)) {
                    info.vendorId = attributes.vendorId;
                    info.productId = attributes.productId;
                    info.versionNumber = attributes.versionNumber;
                }
            }
            out.push_back(std::move(info));
        }
        SetupDiDestroyDeviceInfoList(set);
        return true;
    }

    std::unique_ptr<IHidDevice> Open(const std::string& path, std::string* why) override
    {
        unsigned long error = 0;
        bool noAccess = false;
        HANDLE handle = static_cast<HANDLE>(OpenHidInterface(m_calls, path, error, noAccess));
        if (!handle) {
            if (why)
                *why = WindowsErrorText(error);
            return nullptr;
        }
        return std::make_unique<Win32HidDevice>(handle);
    }

private:
    struct Calls : IHidOpenCalls {
        void* Open(const std::string& path, bool readWrite, unsigned long& error) override
        {
            HANDLE handle = OpenPath(path, readWrite ? GENERIC_READ | GENERIC_WRITE : 0);
            if (handle != INVALID_HANDLE_VALUE)
                return handle;
            error = GetLastError();
            return nullptr;
        }
    } m_calls;
};

}  // namespace

std::unique_ptr<IHidBackend> CreateSystemHidBackend() { return std::make_unique<Win32HidBackend>(); }
