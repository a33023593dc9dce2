#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/file_save.h"
#include "scratch_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include "unprivileged.h"
#endif

namespace fs = std::filesystem;

namespace {

std::string Bytes(char fill) { return std::string(64, fill); }

void Write(const std::string& path, const std::string& bytes, fs::perms mode = fs::perms(0644))
{
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, mode);
}
std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
bool Save(const std::string& path, const std::string& bytes, std::string& error)
{
    return SaveFileContent(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), error);
}
#ifndef _WIN32
unsigned Mode(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}
#endif
// The names in a folder, to find files a save left behind.
std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FileSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = NewScratch(std::string("tovask-save-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
#ifndef _WIN32
        HandToNobody(dir.string());
#endif
    }
    void TearDown() override { RemoveScratch(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

// A read-only file is refused and left as it was, whoever saves.
TEST_F(FileSaveTest, ReadOnlyFileIsRefusedUntouched)
{
    Write(Path("ro.mtl"), Bytes('a'), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string error;
    EXPECT_FALSE(Save(Path("ro.mtl"), Bytes('b'), error));
    EXPECT_EQ(error.rfind("Permission denied", 0), 0u) << error;
    EXPECT_EQ(Read(Path("ro.mtl")), Bytes('a'));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"ro.mtl"});
}

#ifndef _WIN32
TEST_F(FileSaveTest, LinksAreWrittenThroughAndStayLinks)
{
    fs::create_directories(dir / "real");
    Write(Path("real/t.mtl"), Bytes('a'), fs::perms(0600));
    fs::create_symlink("real/t.mtl", dir / "rel.mtl");
    fs::create_symlink("rel.mtl", dir / "chain.mtl");
    fs::create_symlink(dir / "real/t.mtl", dir / "real/abs.mtl");
    char fill = 'b';
    for (const char* link : {"rel.mtl", "chain.mtl", "real/abs.mtl"}) {
        std::string error;
        ASSERT_TRUE(Save(Path(link), Bytes(fill), error)) << link << ": " << error;
        EXPECT_TRUE(fs::is_symlink(Path(link))) << link;
        EXPECT_EQ(Read(Path("real/t.mtl")), Bytes(fill)) << link;
        EXPECT_EQ(Mode(Path("real/t.mtl")), 0600u) << link;
        ++fill;
    }
    // A link to a file not there yet creates it, as the shell's '>' does.
    fs::create_symlink("real/new.mtl", dir / "fresh.mtl");
    std::string error;
    ASSERT_TRUE(Save(Path("fresh.mtl"), Bytes('n'), error)) << error;
    EXPECT_EQ(Read(Path("real/new.mtl")), Bytes('n'));
    // A failure behind a link names the file the link points to.
    fs::permissions(Path("real/t.mtl"), fs::perms(0444));
    EXPECT_FALSE(Save(Path("rel.mtl"), Bytes('x'), error));
    EXPECT_EQ(error, Path("real/t.mtl") + ": Permission denied (the file is read-only)");
}

TEST_F(FileSaveTest, ModeOwnerAndHardLinksAreKept)
{
    for (unsigned mode : {0600u, 0640u, 0604u, 0664u, 0750u}) {
        Write(Path("m.mtl"), Bytes('a'), fs::perms(mode));
        std::string error;
        ASSERT_TRUE(Save(Path("m.mtl"), Bytes('b'), error)) << error;
        EXPECT_EQ(Mode(Path("m.mtl")), mode);
        EXPECT_EQ(Read(Path("m.mtl")), Bytes('b'));
    }
    // A new file gets the usual mode of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::string error;
    ASSERT_TRUE(Save(Path("new.mtl"), Bytes('c'), error));
    EXPECT_EQ(Mode(Path("new.mtl")), 0666u & ~mask);

    // Every name of a file with hard links sees the new content.
    Write(Path("one.mtl"), Bytes('a'));
    fs::create_hard_link(Path("one.mtl"), Path("two.mtl"));
    ASSERT_TRUE(Save(Path("one.mtl"), Bytes('h'), error)) << error;
    EXPECT_EQ(Read(Path("two.mtl")), Bytes('h'));
    EXPECT_EQ(fs::hard_link_count(Path("two.mtl")), 2u);

    if (::geteuid() != 0)
        return;  // only root may give a file to another user
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    Write(Path("theirs.mtl"), Bytes('a'));
    ASSERT_EQ(::chown(Path("theirs.mtl").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_TRUE(Save(Path("theirs.mtl"), Bytes('r'), error)) << error;
    struct stat st {};
    ::stat(Path("theirs.mtl").c_str(), &st);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_gid, nobody->pw_gid);
}

// The permission rules, run as this process's user and as an unprivileged
// one: a read-only file is refused untouched, a writable file in a folder
// that takes no new file is written in place, and no stray file is left.
std::string PermissionRules(const fs::path& dir)
{
    std::string error, out;
    const std::string ro = (dir / "ro.mtl").string();
    Write(ro, Bytes('a'), fs::perms(0444));
    const auto old = fs::last_write_time(ro) - std::chrono::hours(1);
    fs::last_write_time(ro, old);
    if (Save(ro, Bytes('b'), error) || error.rfind("Permission denied", 0) != 0)
        out += "read-only file not refused: " + error + ";";
    if (Read(ro) != Bytes('a') || fs::last_write_time(ro) != old)
        out += "read-only file changed;";

    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    const std::string inside = (locked / "t.mtl").string();
    Write(inside, Bytes('a'), fs::perms(0640));
    fs::permissions(locked, fs::perms(0555));
    if (!Save(inside, Bytes('c'), error) || Read(inside) != Bytes('c') || Mode(inside) != 0640)
        out += "not written in place: " + error + ";";
    const bool created = Save((locked / "new.mtl").string(), Bytes('c'), error);
    if (::geteuid() != 0 && (created || error != "Permission denied"))
        out += "new file in a locked folder: " + (created ? std::string("created") : error) + ";";
    if (Names(locked).size() != (created ? 2u : 1u))
        out += "stray files in the locked folder;";
    fs::permissions(locked, fs::perms(0755));
    return out.empty() ? "ok" : out;
}

TEST_F(FileSaveTest, PermissionRulesAsThisUserAndUnprivileged)
{
    fs::create_directory(dir / "self");
    EXPECT_EQ(PermissionRules(dir / "self"), "ok");
    fs::create_directory(dir / "nobody");
    HandToNobody((dir / "nobody").string());
    const UnprivilegedRun run = RunUnprivileged((dir / "nobody").string(), [&] { return PermissionRules(dir / "nobody"); });
    if (!run.result)
        GTEST_SKIP() << run.skipReason;
    EXPECT_EQ(*run.result, "ok");
}

TEST_F(FileSaveTest, WriteFailingPartWayKeepsTheFileAndLeavesNoTemporary)
{
    Write(Path("t.mtl"), Bytes('a'));
    // A file size limit of 16 bytes makes the write of the new content fail part-way.
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool saved = Save(Path("t.mtl"), Bytes('b'), error);
        ::_exit(!saved && error == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Read(Path("t.mtl")), Bytes('a'));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"t.mtl"});
}

#endif  // POSIX: links, modes, owners, folder permissions, file size limits

TEST_F(FileSaveTest, SavesAtOnceNeverMixAndSpareTheUsersFiles)
{
    Write(Path("t.mtl"), Bytes('0'));
    Write(Path("t.mtl.tovask-tmp"), "the user's own file");
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, failed{0};
    std::thread reader([&] {
        while (!done) {
            std::ifstream in(Path("t.mtl"), std::ios::binary);
            if (!in.is_open())
                continue;  // Windows: the file is being replaced this moment
            const std::string s{std::istreambuf_iterator<char>(in), {}};
            if (s.size() != 64 || s != std::string(64, s[0]))
                ++torn;
        }
    });
    std::vector<std::thread> writers;
    for (char fill = '1'; fill <= '4'; ++fill)
        writers.emplace_back([&, fill] {
            for (int i = 0; i < 100; ++i) {
                std::string error;
                if (!Save(Path("t.mtl"), Bytes(fill), error)) {
#ifdef _WIN32
                    // A file another program holds open cannot be replaced;
                    // the save says so and the file stays whole.
                    if (error == "Permission denied")
                        continue;
#endif
                    ++failed;
                }
            }
        });
    for (auto& w : writers)
        w.join();
    done = true;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(torn, 0);
    const std::string last = Read(Path("t.mtl"));
    EXPECT_TRUE(last == Bytes('1') || last == Bytes('2') || last == Bytes('3') || last == Bytes('4'));
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"t.mtl", "t.mtl.tovask-tmp"}));
    EXPECT_EQ(Read(Path("t.mtl.tovask-tmp")), "the user's own file");
}

}  // namespace
