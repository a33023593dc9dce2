// Runs a piece of a test as an ordinary user. The tests often run as root,
// who may write read-only files and folders; file rules that depend on
// permissions are checked again as user "nobody" in a child process.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

struct UnprivilegedRun {
    std::optional<std::string> result;  // what the piece returned, when it ran
    std::string skipReason;             // why it could not run
};

// Runs fn in this process when it is not root; otherwise in a child that
// drops to "nobody" and needs read, write and search access to folder (give
// it that first). fn returns a short text that the test then checks.
inline UnprivilegedRun RunUnprivileged(const std::string& folder, const std::function<std::string()>& fn)
{
    if (::geteuid() != 0)
        return {fn(), {}};
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return {std::nullopt, "there is no user 'nobody' to drop to"};
    int fds[2];
    if (::pipe(fds) != 0)
        return {std::nullopt, "no pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
            out = "\1cannot drop privileges to nobody";
        else if (::access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
            out = "\1user nobody cannot reach the scratch folder " + folder;
        else
            out = fn();
        (void)!::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (pid < 0 || !WIFEXITED(status))
        return {std::nullopt, "the unprivileged child did not finish"};
    if (!out.empty() && out[0] == '\1')
        return {std::nullopt, out.substr(1)};
    return {out, {}};
}

// Gives user nobody the folder, so that an unprivileged child can work in it.
inline void HandToNobody(const std::string& folder)
{
    if (::geteuid() != 0)
        return;
    if (const passwd* nobody = ::getpwnam("nobody"))
        (void)!::chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid);
}
