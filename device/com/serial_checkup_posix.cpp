#include "device/com/serial_checkup.h"

#include <vector>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

bool SerialPortPresent(const std::string& devicePath)
{
    struct stat info {};
    return ::stat(devicePath.c_str(), &info) == 0;
}

std::string MissingGroupFor(const std::string& devicePath)
{
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0 || ::geteuid() == 0)
        return {};
    const mode_t readWrite = S_IROTH | S_IWOTH;
    if ((info.st_mode & readWrite) == readWrite || info.st_uid == ::geteuid() || info.st_gid == ::getegid())
        return {};
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, groups.data()) >= 0)
        for (gid_t g : groups)
            if (g == info.st_gid)
                return {};
    const struct group* entry = ::getgrgid(info.st_gid);
    return entry ? entry->gr_name : std::to_string(info.st_gid);
}
