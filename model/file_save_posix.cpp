#include "model/file_save.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string SystemError(int err) { return std::error_code(err, std::generic_category()).message(); }

// Closes the descriptor when it leaves scope, keeping errno as it was.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (m_fd >= 0) {
            const int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
    }
    int get() const { return m_fd; }
    // Closes now; false (with errno) when the close reports a failed write.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Follows a chain of symbolic links to the file it ends at, which need not
// exist yet (a new file is then created there, as the shell's '>' does).
bool ResolveLinks(fs::path& path, std::string& error)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.message();
            return false;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = SystemError(ELOOP);
    return false;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file creation mask, read once (reading it means setting it).
mode_t CreationMask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Writes through the existing file: its inode, and with it every name, the
// mode, owner and group, stays. Not atomic: a failure part-way can leave a
// mixture of old and new bytes. The new bytes go first and the file is cut
// to length after, so a file at least as long as the new content is never
// seen empty.
bool WriteInPlace(const fs::path& target, const std::uint8_t* data, std::size_t size, std::string& error)
{
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    const bool ok = fd.get() >= 0 && WriteAll(fd.get(), data, size) &&
                    ::ftruncate(fd.get(), static_cast<off_t>(size)) == 0 && ::fsync(fd.get()) == 0 && fd.Close();
    if (!ok)
        error = SystemError(errno);
    return ok;
}

// Makes the rename durable: the folder's entry is flushed too. A folder that
// cannot be flushed (some file systems refuse) leaves the save as it is.
void SyncFolder(const fs::path& folder)
{
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

// Writes the bytes to a fresh, uniquely named file next to target, gives it
// the old file's owner, group and mode (or the usual mode of a new file), and
// renames it over target. The temporary file is removed on every failure.
// Returns false with errno set; creationFailed tells that no temporary file
// could be made at all.
bool ReplaceAtomically(const fs::path& target, const struct stat* old, const std::uint8_t* data, std::size_t size,
                       bool& creationFailed)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));  // mode 0600
    creationFailed = fd.get() < 0;
    if (creationFailed)
        return false;
    bool ok = WriteAll(fd.get(), data, size);
    if (ok && old) {
        // Owner and group only where this process may set them; a group the
        // user is a member of goes through even when the owner cannot.
        if (::fchown(fd.get(), old->st_uid, old->st_gid) != 0 &&
            ::fchown(fd.get(), static_cast<uid_t>(-1), old->st_gid) != 0) {
            // Neither could be kept: the file now belongs to this user and group.
        }
        ok = ::fchmod(fd.get(), old->st_mode & 07777) == 0;
    } else if (ok) {
        ok = ::fchmod(fd.get(), 0666 & ~CreationMask()) == 0;
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace

bool SaveFileContent(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error)
{
    fs::path target(path);
    if (!ResolveLinks(target, error))
        return false;
    // A failure about the file a link points to names that file.
    const std::string where = target == fs::path(path) ? std::string() : target.string() + ": ";
    auto fail = [&](const std::string& cause) {
        error = where + cause;
        return false;
    };

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return fail(SystemError(errno));
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return fail(SystemError(EISDIR));
        if (!S_ISREG(st.st_mode))
            return fail("not a regular file");
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return fail(SystemError(errno));
        // The superuser may write any file; one without a single write
        // permission bit is still read-only by its owner's choice.
        if ((st.st_mode & 0222) == 0)
            return fail(SystemError(EACCES) + " (the file is read-only)");
        if (st.st_nlink > 1)
            return WriteInPlace(target, data, size, error) || fail(error);
    }
    bool creationFailed = false;
    if (ReplaceAtomically(target, exists ? &st : nullptr, data, size, creationFailed))
        return true;
    const int err = errno;
    // A folder that takes no new file: a writable file is written through.
    if (creationFailed && exists && (err == EACCES || err == EPERM))
        return WriteInPlace(target, data, size, error) || fail(error);
    return fail(SystemError(err));
}
