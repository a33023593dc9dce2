// The system's HID interfaces through hidapi (hidraw on Linux).
#include "device/usb/hid_backend.h"

#include <hidapi.h>

#include "device/device_node.h"

namespace {

constexpr std::size_t stringCapacity = 128;  // UTF-16 units: 256 bytes

bool ReadString(int (*get)(hid_device*, wchar_t*, std::size_t), hid_device* dev, std::wstring& out)
{
    wchar_t text[stringCapacity + 1] = {};
    if (get(dev, text, stringCapacity) != 0)
        return false;
    out = text;
    return true;
}

// The library words a failed open as "Failed to open a device with path
// '...': Permission denied"; the cause is what follows the last ": ".
std::string OpenFailureReason()
{
    const wchar_t* text = hid_error(nullptr);
    if (!text || !*text)
        return "cannot be opened";
    std::string narrow;
    for (const wchar_t* c = text; *c; ++c)
        narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    const std::size_t colon = narrow.rfind(": ");
    return colon == std::string::npos ? narrow : narrow.substr(colon + 2);
}

class HidapiDevice : public IHidDevice {
public:
    explicit HidapiDevice(hid_device* dev) : m_dev(dev) {}
    ~HidapiDevice() override { hid_close(m_dev); }

    bool GetAttributes(HidAttributes& out) override
    {
        const hid_device_info* info = hid_get_device_info(m_dev);
        if (!info)
            return false;
        out.vendorId = info->vendor_id;
        out.productId = info->product_id;
        out.versionNumber = info->release_number;
        return true;
    }
    bool GetManufacturerString(std::wstring& out) override
    {
        return ReadString(hid_get_manufacturer_string, m_dev, out);
    }
    bool GetProductString(std::wstring& out) override { return ReadString(hid_get_product_string, m_dev, out); }
    bool SetFeature(const std::uint8_t* report, std::size_t length) override
    {
        return hid_send_feature_report(m_dev, report, length) >= 0;
    }
    int GetFeature(std::uint8_t* report, std::size_t length) override
    {
        return hid_get_feature_report(m_dev, report, length);
    }

private:
    hid_device* m_dev;
};

class HidapiBackend : public IHidBackend {
public:
    HidapiBackend() { m_ready = hid_init() == 0; }
    ~HidapiBackend() override
    {
        if (m_ready)
            hid_exit();
    }

    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out.clear();
        if (!m_ready)
            return false;
        hid_device_info* list = hid_enumerate(0, 0);
        for (const hid_device_info* it = list; it; it = it->next) {
            const std::string path = it->path ? it->path : "";
            out.push_back({path, it->vendor_id, it->product_id, it->release_number,
                           it->manufacturer_string ? it->manufacturer_string : L"",
                           it->product_string ? it->product_string : L"",
                           it->serial_number ? it->serial_number : L"", HidrawLocation(path),
                           DeviceNodeInitialized(path)});
        }
        hid_free_enumeration(list);
        return true;
    }

    std::unique_ptr<IHidDevice> Open(const std::string& path, std::string* why) override
    {
        if (!m_ready) {
            if (why)
                *why = "the HID library could not start";
            return nullptr;
        }
        hid_device* dev = hid_open_path(path.c_str());
        if (!dev) {
            if (why)
                *why = OpenFailureReason();
            return nullptr;
        }
        return std::make_unique<HidapiDevice>(dev);
    }

private:
    bool m_ready = false;
};

}  // namespace

std::unique_ptr<IHidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }
