// The command-line importer, run as a child process, under conditions meant to break it: source
// files that change or are not files at all, a destination that stops taking writes, and inputs
// built to hang a parser or exhaust memory. Every run must end by itself with contacts where the
// cards are recognisable, and a warning or a failure naming the file and its reason otherwise;
// the store left behind must pass pstcheck and hold what the summary says.
//
// Big inputs are generated into a temporary folder by the test itself. Bounds are on memory
// (the child's peak RSS from wait4) and on correctness, never on speed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "lspst_contacts.h"
#include "readers.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

const std::string kProgram = ZENTRA_BINARY_DIR "/bin/zentra-vcf2pst";
const std::string kPstCheck = ZENTRA_BINARY_DIR "/bin/pstcheck";

// ---- the child process -----------------------------------------------------------------------

struct ChildSetup {
    rlim_t fileSizeLimit = RLIM_INFINITY;   // RLIMIT_FSIZE; SIGXFSZ is ignored so writes fail with EFBIG
    bool withoutDacOverride = false;        // root: drop the capabilities that bypass permission bits
    std::chrono::seconds timeout{120};
};

struct ChildResult {
    int exitCode = -1;    // -1 when killed by a signal
    int signal = 0;
    bool timedOut = false;
    long peakRssKb = 0;
    std::string out, err;
};

class Child {
public:
    Child(std::vector<std::string> args, const QString& scratch, ChildSetup setup = {}) : setup_(setup) {
        static int runs = 0;
        const QString base = scratch + QString("/child%1").arg(++runs);
        outPath_ = (base + ".out").toStdString();
        errPath_ = (base + ".err").toStdString();
        start_ = std::chrono::steady_clock::now();
        pid_ = fork();
        if (pid_ == 0) becomeChild(args);
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }

    // Waits until the child ends or its time is up (then kills it).
    ChildResult wait() {
        ChildResult r;
        int status = 0;
        rusage usage{};
        while (true) {
            pid_t done = wait4(pid_, &status, WNOHANG, &usage);
            if (done == pid_) break;
            if (done < 0) return r;
            if (std::chrono::steady_clock::now() - start_ > setup_.timeout) {
                r.timedOut = true;
                kill(pid_, SIGKILL);
                wait4(pid_, &status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        reaped_ = true;
        if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
        r.peakRssKb = usage.ru_maxrss;
        r.out = slurp(outPath_);
        r.err = slurp(errPath_);
        return r;
    }

private:
    [[noreturn]] void becomeChild(std::vector<std::string>& args) {
        const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (setup_.fileSizeLimit != RLIM_INFINITY) {
            std::signal(SIGXFSZ, SIG_IGN);   // an ignored disposition survives exec
            rlimit limit{setup_.fileSizeLimit, setup_.fileSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
        }
        if (setup_.withoutDacOverride && geteuid() == 0) {
            // After exec, root's permitted set is the bounding set: what is dropped here is gone.
            if (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
                prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)
                _exit(124);
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ChildSetup setup_;
    std::string outPath_, errPath_;
    std::chrono::steady_clock::time_point start_;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

std::string describe(const ChildResult& r) {
    std::ostringstream s;
    s << "exit " << r.exitCode << ", signal " << r.signal << (r.timedOut ? ", timed out" : "") << "\nstdout:\n"
      << r.out.substr(0, 4000) << "\nstderr:\n" << r.err.substr(0, 4000);
    return s.str();
}

// ---- inputs ----------------------------------------------------------------------------------

std::string contactName(int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Contact %05d", n);
    return buf;
}

void writeCards(const std::string& path, int first, int count) {
    std::ofstream out(path, std::ios::binary);
    for (int n = first; n < first + count; ++n)
        out << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" << contactName(n) << ";;;;\r\nFN:" << contactName(n)
            << "\r\nEMAIL:c" << n << "@example.com\r\nEND:VCARD\r\n";
}

// ---- reading the result back -----------------------------------------------------------------

using zentra::readers::contactsByLibpst;

// The contact's surname as the reader shows it: libpst as the vCard it writes, others as properties.
std::string surnameOf(const zentra::readers::ItemView& item) {
    if (!item.field("surname").empty()) return item.field("surname");
    const std::string n = item.field("vcard:N");
    return n.substr(0, n.find(';'));
}

void expectSoundStore(const std::string& pst) {
    auto check = zentra::readers::runProcess({kPstCheck, "--quiet", pst}, 300s);
    EXPECT_EQ(check.exitCode, 0) << pst << ":\n" << check.out << check.err;
}

// "  <path>: <reason>" lines under "Failed files:" in the summary, by path.
std::map<std::string, std::string> failedFiles(const std::string& summary) {
    std::map<std::string, std::string> failed;
    const auto start = summary.find("Failed files:\n");
    if (start == std::string::npos) return failed;
    std::istringstream in(summary.substr(start + 14));
    for (std::string line; std::getline(in, line) && line.rfind("  ", 0) == 0;) {
        // The reason is "<number>:<path>: ..." or "<number>:...": split at ": " after the path.
        const auto colon = line.find(": ", 2);
        if (colon == std::string::npos) continue;
        failed[line.substr(2, colon - 2)] = line.substr(colon + 2);
    }
    return failed;
}

long summaryNumber(const std::string& summary, const std::string& label) {
    const auto at = summary.find(label);
    return at == std::string::npos ? -1 : std::atol(summary.c_str() + at + label.size());
}

class Vcf2PstHostile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    std::string path(const QString& relative) const { return dir_.filePath(relative).toStdString(); }
    QString scratch() const { return dir_.path(); }
    ChildResult import(std::vector<std::string> args, ChildSetup setup = {}) {
        args.insert(args.begin(), kProgram);
        return Child(args, scratch(), setup).wait();
    }
    // Whether a child with `setup` is refused reading `file` (root reads anything unless its
    // capabilities are dropped).
    bool childCannotRead(const std::string& file, ChildSetup setup) {
        setup.timeout = 10s;
        return Child({"/bin/cat", file}, scratch(), setup).wait().exitCode != 0;
    }
    bool childCannotCreateIn(const std::string& folder, ChildSetup setup) {
        setup.timeout = 10s;
        const std::string probe = folder + "/probe";
        const bool refused = Child({"/usr/bin/touch", probe}, scratch(), setup).wait().exitCode != 0;
        std::remove(probe.c_str());
        return refused;
    }

    QTemporaryDir dir_;
};

}  // namespace

// ---- 1. sources that are not regular files, or change under the run ---------------------------

TEST_F(Vcf2PstHostile, OnlyRegularFilesAreOpenedAmongPipesDevicesAndFolders) {
    QDir().mkpath(scratch() + "/src/dir.vcf");
    QDir().mkpath(scratch() + "/elsewhere");
    QDir().mkpath(scratch() + "/outside");
    writeCards(path("src/a.vcf"), 0, 1);
    writeCards(path("src/b.vcf"), 1, 1);
    writeCards(path("outside/real.vcf"), 2, 1);
    ASSERT_EQ(mkfifo(path("src/x.vcf").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(path("elsewhere/x.vcf").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", path("src/y.vcf").c_str()), 0);
    ASSERT_EQ(symlink("/dev/urandom", path("src/z.vcf").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", path("elsewhere/y.vcf").c_str()), 0);
    ASSERT_EQ(symlink(path("outside/real.vcf").c_str(), path("src/link.vcf").c_str()), 0);   // read: a link to a file
    ASSERT_EQ(symlink(path("nowhere.vcf").c_str(), path("src/dangling.vcf").c_str()), 0);

    const std::string pst = path("out.pst");
    auto r = import({"-o", pst, path("src"), path("elsewhere/x.vcf"), path("elsewhere/y.vcf")}, {.timeout = 60s});
    ASSERT_FALSE(r.timedOut) << "a pipe or device was opened and read: " << describe(r);
    EXPECT_EQ(r.exitCode, 1) << describe(r);

    const auto failed = failedFiles(r.out);
    for (const char* notAFile : {"src/x.vcf", "src/y.vcf", "src/z.vcf", "elsewhere/x.vcf", "elsewhere/y.vcf"}) {
        ASSERT_TRUE(failed.count(path(notAFile))) << notAFile << " is not named as failed:\n" << r.out;
        EXPECT_NE(failed.at(path(notAFile)).find("not a regular file"), std::string::npos) << failed.at(path(notAFile));
    }
    EXPECT_EQ(failed.count(path("src/a.vcf")) + failed.count(path("src/link.vcf")), 0u) << r.out;
    // Whatever the folder scan lists besides, only the three real cards count as imported.
    const long listed = summaryNumber(r.out, "Files:     ");
    EXPECT_NE(r.out.find(std::to_string(listed) + " listed, 3 imported, " + std::to_string(listed - 3) + " failed"),
              std::string::npos) << r.out;
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 3) << r.out;

    expectSoundStore(pst);
    EXPECT_EQ(contactsByLibpst(pst), (std::multiset<std::string>{contactName(0), contactName(1), contactName(2)}));
    for (const auto& view : zentra::readers::readWithAll(pst)) {
        if (view.skipped) continue;
        ASSERT_TRUE(view.ok) << view.reader << ": " << view.error;
        // A file that fails still leaves the empty contact the run saved for it; only the
        // three cards carry a name.
        std::multiset<std::string> named;
        for (const auto& f : view.folders)
            for (const auto& item : f.items)
                if (!surnameOf(item).empty()) named.insert(surnameOf(item));
        EXPECT_EQ(named, (std::multiset<std::string>{contactName(0), contactName(1), contactName(2)})) << view.reader;
    }
}

namespace {

// Events of one inotify descriptor: the names opened in the source folder, and whether the
// store file was created in the destination folder.
class FileWatch {
public:
    FileWatch(const std::string& sources, const std::string& destination, const std::string& store)
        : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), store_(store) {
        sourcesWatch_ = inotify_add_watch(fd_, sources.c_str(), IN_OPEN);
        destinationWatch_ = inotify_add_watch(fd_, destination.c_str(), IN_CREATE);
    }
    ~FileWatch() { close(fd_); }
    bool ok() const { return fd_ >= 0 && sourcesWatch_ >= 0 && destinationWatch_ >= 0; }

    // Waits for the first sign that the run has begun importing: the store file created, or any
    // source opened. Returns false when neither happened in time.
    bool waitForImportStart(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!storeCreated_ && opened_.empty() && std::chrono::steady_clock::now() < end) drain(50);
        return storeCreated_ || !opened_.empty();
    }
    void drain(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0) return;
        alignas(inotify_event) char buf[16384];
        const ssize_t n = read(fd_, buf, sizeof buf);
        for (ssize_t off = 0; off < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
            if (e->len > 0 && !(e->mask & IN_ISDIR)) {
                if (e->wd == sourcesWatch_) opened_.insert(e->name);
                if (e->wd == destinationWatch_ && e->name == store_) storeCreated_ = true;
            }
            off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    const std::set<std::string>& opened() const { return opened_; }

private:
    int fd_;
    int sourcesWatch_ = -1, destinationWatch_ = -1;
    std::string store_;
    std::set<std::string> opened_;
    bool storeCreated_ = false;
};

}  // namespace

TEST_F(Vcf2PstHostile, FilesChangedUnderTheRunFailEachWithItsReason) {
    // The run lists every file, creates the store, and only then opens the files. The child is
    // stopped at the first sign of that, the listed files are changed, and it goes on.
    QDir().mkpath(scratch() + "/src");
    const std::string src = path("src/");
    writeCards(src + "first.vcf", 0, 1000);
    const std::map<std::string, std::string> victims = {{"gone.vcf", std::strerror(ENOENT)},
                                                        {"folder.vcf", "folder"},
                                                        {"locked.vcf", std::strerror(EACCES)},
                                                        {"pipe.vcf", "not a regular file"},
                                                        {"device.vcf", "not a regular file"}};
    int next = 1000;
    std::map<std::string, std::string> victimContact;
    for (const auto& [name, reason] : victims) {
        victimContact[name] = contactName(next);
        writeCards(src + name, next++, 1);
    }
    writeCards(src + "last.vcf", next, 1);
    const std::string lastContact = contactName(next);

    // An unreadable file needs a child that honours permission bits; as root that means one
    // without CAP_DAC_OVERRIDE, which a restricted container may not allow dropping.
    ChildSetup setup{.withoutDacOverride = true, .timeout = 120s};
    chmod((src + "locked.vcf").c_str(), 0);
    const bool canLock = childCannotRead(src + "locked.vcf", setup);
    chmod((src + "locked.vcf").c_str(), 0644);
    if (!canLock) std::printf("[ SKIPPED ] the unreadable-file case: this child can read a file of mode 000\n");

    std::vector<std::string> args = {kProgram, "-o", path("out.pst"), src + "first.vcf"};
    for (const auto& [name, reason] : victims) args.push_back(src + name);
    args.push_back(src + "last.vcf");

    FileWatch watch(path("src"), scratch().toStdString(), "out.pst");
    ASSERT_TRUE(watch.ok());
    Child child(args, scratch(), setup);
    const bool started = watch.waitForImportStart(60s);
    kill(child.pid(), SIGSTOP);
    ASSERT_TRUE(started) << "the run never created its store nor opened a file";
    std::this_thread::sleep_for(100ms);   // the stop has landed; collect what came before it
    watch.drain(0);
    const std::set<std::string> openedEarly = watch.opened();

    ASSERT_EQ(std::remove((src + "gone.vcf").c_str()), 0);
    ASSERT_EQ(std::remove((src + "folder.vcf").c_str()), 0);
    ASSERT_EQ(mkdir((src + "folder.vcf").c_str(), 0755), 0);
    if (canLock) {
        ASSERT_EQ(chmod((src + "locked.vcf").c_str(), 0), 0);
    }
    ASSERT_EQ(std::remove((src + "pipe.vcf").c_str()), 0);
    ASSERT_EQ(mkfifo((src + "pipe.vcf").c_str(), 0644), 0);
    ASSERT_EQ(std::remove((src + "device.vcf").c_str()), 0);
    ASSERT_EQ(symlink("/dev/urandom", (src + "device.vcf").c_str()), 0);
    kill(child.pid(), SIGCONT);

    const ChildResult r = child.wait();
    ASSERT_FALSE(r.timedOut) << "a changed file hung the run: " << describe(r);
    EXPECT_EQ(r.exitCode, 1) << describe(r);

    // A file read before it changed may be imported as it was; every other one fails with its reason.
    const auto failed = failedFiles(r.out);
    std::multiset<std::string> expected;
    for (int n = 0; n < 1000; ++n) expected.insert(contactName(n));
    expected.insert(lastContact);
    int strict = 0;
    for (const auto& [name, reason] : victims) {
        const bool readEarly = openedEarly.count(name) != 0;
        if ((name == "locked.vcf" && !canLock) || (readEarly && !failed.count(src + name))) {
            expected.insert(victimContact[name]);
            continue;
        }
        strict += readEarly ? 0 : 1;
        ASSERT_TRUE(failed.count(src + name)) << name << " is not named as failed:\n" << r.out;
        EXPECT_NE(failed.at(src + name).find(reason), std::string::npos) << name << ": " << failed.at(src + name);
    }
    std::printf("%d of %zu changed files were not read before the change\n", strict, victims.size());
    EXPECT_GT(strict, 0) << "every file was read before it changed; the test proved nothing";
    EXPECT_EQ(failed.size() + expected.size(), victims.size() + 1001) << r.out;
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), static_cast<long>(expected.size())) << r.out;

    const std::string pst = path("out.pst");
    expectSoundStore(pst);
    EXPECT_EQ(contactsByLibpst(pst), expected);
}


// ---- 2. a destination that stops taking writes -----------------------------------------------

namespace {

constexpr int kFailFiles = 200;
constexpr int kFailCardsPerFile = 100;

class Vcf2PstWriteFailure : public Vcf2PstHostile {
protected:
    // 20,000 contacts in 200 files given in order; the size their complete store takes.
    void SetUp() override {
        Vcf2PstHostile::SetUp();
        QDir().mkpath(scratch() + "/cards");
        for (int f = 0; f < kFailFiles; ++f) {
            files_.push_back(path(QString("cards/part%1.vcf").arg(f, 3, 10, QChar('0'))));
            writeCards(files_.back(), f * kFailCardsPerFile, kFailCardsPerFile);
        }
        auto full = importInto(path("full.pst"));
        ASSERT_EQ(full.exitCode, 0) << describe(full);
        struct stat st {};
        ASSERT_EQ(stat(path("full.pst").c_str(), &st), 0);
        fullSize_ = st.st_size;
        std::remove(path("full.pst").c_str());
    }
    ChildResult importInto(const std::string& pst, ChildSetup setup = {}) {
        std::vector<std::string> args = {"-o", pst};
        args.insert(args.end(), files_.begin(), files_.end());
        setup.timeout = 300s;
        return import(args, setup);
    }
    // The run ended by itself with a failure status and said which file failed and why; the file
    // is a valid store holding the first k contacts of the input for some 0 < k < all.
    size_t expectValidPrefix(const ChildResult& r, const std::string& pst, const std::string& reason) {
        EXPECT_FALSE(r.timedOut) << describe(r);
        EXPECT_EQ(r.signal, 0) << describe(r);
        EXPECT_NE(r.exitCode, 0) << describe(r);
        // The last word on standard error names the store and the system's reason.
        const auto last = r.err.rfind("zentra-vcf2pst: ");
        EXPECT_NE(last, std::string::npos) << r.err.substr(0, 3000);
        if (last != std::string::npos) {
            const std::string line = r.err.substr(last, r.err.find('\n', last) - last);
            EXPECT_NE(line.find(pst), std::string::npos) << line;
            EXPECT_NE(line.find(reason), std::string::npos) << line;
        }
        expectSoundStore(pst);
        const auto stored = contactsByLibpst(pst);
        const std::set<std::string> unique(stored.begin(), stored.end());
        EXPECT_EQ(unique.size(), stored.size()) << "a contact was written twice";
        std::set<std::string> prefix;
        for (size_t n = 0; n < unique.size(); ++n) prefix.insert(contactName(static_cast<int>(n)));
        EXPECT_EQ(unique, prefix) << "the store does not hold the first " << unique.size() << " contacts";
        EXPECT_GT(unique.size(), 0u) << "not even the first commit reached the file";
        EXPECT_LT(unique.size(), size_t{kFailFiles * kFailCardsPerFile}) << "the limit was never reached";
        // The summary may count contacts that were lost with the failed commit, never fewer.
        EXPECT_GE(summaryNumber(r.out, "Contacts:  "), static_cast<long>(unique.size())) << r.out.substr(0, 400);
        return unique.size();
    }

    std::vector<std::string> files_;
    off_t fullSize_ = 0;
};

// Unmounts (lazily, so a store still open elsewhere cannot keep it) when the test ends.
struct TmpfsMount {
    std::string at;
    bool mounted = false;
    TmpfsMount(const std::string& where, off_t bytes) : at(where) {
        mkdir(at.c_str(), 0700);
        const std::string options = "size=" + std::to_string((bytes + 4095) / 4096 * 4096) + ",mode=0700";
        mounted = geteuid() == 0 && mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TmpfsMount() {
        if (mounted) umount2(at.c_str(), MNT_DETACH);
    }
};

}  // namespace

TEST_F(Vcf2PstWriteFailure, FileSizeLimitEndsTheRunWithAValidPrefixAndItsReason) {
    const std::string pst = path("limited.pst");
    auto r = importInto(pst, {.fileSizeLimit = static_cast<rlim_t>(fullSize_ / 2)});
    const size_t kept = expectValidPrefix(r, pst, std::strerror(EFBIG));
    std::printf("file-size limit %lld of %lld bytes: %zu contacts kept, exit %d\n", static_cast<long long>(fullSize_ / 2),
                static_cast<long long>(fullSize_), kept, r.exitCode);
}

// The engine commits every 1,000 contacts: the files whose contacts were saved after the last
// good commit must be reported as failed, not imported, once that commit fails.
TEST_F(Vcf2PstWriteFailure, NoFileIsReportedImportedWhoseContactsAreNotInTheStore) {
    const std::string pst = path("limited.pst");
    auto r = importInto(pst, {.fileSizeLimit = static_cast<rlim_t>(fullSize_ / 2)});
    const size_t kept = expectValidPrefix(r, pst, std::strerror(EFBIG));
    const auto failed = failedFiles(r.out);
    for (int f = 0; f < kFailFiles; ++f) {
        const bool stored = static_cast<size_t>((f + 1) * kFailCardsPerFile) <= kept;
        EXPECT_TRUE(stored || failed.count(files_[static_cast<size_t>(f)]))
            << files_[static_cast<size_t>(f)] << " is neither in the store nor named as failed";
    }
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), static_cast<long>(kept)) << r.out.substr(0, 400);
}

TEST_F(Vcf2PstWriteFailure, FullFileSystemEndsTheRunWithAValidPrefixAndItsReason) {
    TmpfsMount small(path("small"), fullSize_ / 2);
    if (!small.mounted) GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root and mount rights)";
    const std::string pst = path("small/out.pst");
    auto r = importInto(pst);
    const size_t kept = expectValidPrefix(r, pst, std::strerror(ENOSPC));
    std::printf("tmpfs of %lld bytes for a %lld-byte store: %zu contacts kept, exit %d\n",
                static_cast<long long>(fullSize_ / 2), static_cast<long long>(fullSize_), kept, r.exitCode);
}

// A folder the scan cannot list, among folders it can: every readable file is imported, the
// folder is named with its reason, and the run says that not everything was imported.
TEST_F(Vcf2PstHostile, AnUnreadableFolderIsNamedAndEveryOtherFolderIsStillImported) {
    const std::string src = path("src") + "/";
    for (const char* folder : {"a", "locked", "locked/inner", "m/deep", "z"}) QDir().mkpath(QString::fromStdString(src + folder));
    writeCards(src + "a/a.vcf", 0, 1);
    writeCards(src + "locked/hidden.vcf", 1, 1);
    writeCards(src + "locked/inner/hidden.vcf", 2, 1);
    writeCards(src + "m/deep/m.vcf", 3, 1);
    writeCards(src + "z/z.vcf", 4, 1);
    writeCards(src + "top.vcf", 5, 1);
    ChildSetup setup{.withoutDacOverride = true, .timeout = 60s};
    chmod((src + "locked").c_str(), 0);
    if (!childCannotRead(src + "locked/hidden.vcf", setup)) {
        chmod((src + "locked").c_str(), 0755);
        GTEST_SKIP() << "this child can list a folder of mode 000";
    }
    auto r = import({"-o", path("out.pst"), path("src")}, setup);
    chmod((src + "locked").c_str(), 0755);
    EXPECT_EQ(r.exitCode, 1) << describe(r);
    const std::string named = "zentra-vcf2pst: " + src + "locked/: could not be read, its files are not imported: ";
    const auto line = r.err.find(named);
    ASSERT_NE(line, std::string::npos) << r.err;
    EXPECT_NE(r.err.substr(line, r.err.find('\n', line) - line).find(std::strerror(EACCES)), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Files:     4 listed, 4 imported, 0 failed"), std::string::npos) << r.out;
    expectSoundStore(path("out.pst"));
    EXPECT_EQ(contactsByLibpst(path("out.pst")), (std::multiset<std::string>{contactName(0), contactName(3),
                                                                             contactName(4), contactName(5)}));
}

TEST_F(Vcf2PstHostile, UnusableDestinationCreatesNoStoreAndSaysWhy) {
    writeCards(path("a.vcf"), 0, 1);
    QDir().mkpath(scratch() + "/readonly");
    chmod(path("readonly").c_str(), 0555);
    ChildSetup setup{.withoutDacOverride = true, .timeout = 60s};
    const bool canProtect = childCannotCreateIn(path("readonly"), setup);
    if (!canProtect) std::printf("[ SKIPPED ] the read-only folder cases: this child may write to a folder of mode 0555\n");

    struct Case {
        std::vector<std::string> args;
        std::string where, reason;
        bool needsProtection;
    };
    const std::vector<Case> cases = {
        {{"-d", path("no/such/folder")}, path("no/such/folder"), std::strerror(ENOENT), false},
        {{"-d", path("a.vcf")}, path("a.vcf"), std::strerror(ENOTDIR), false},
        {{"-d", path("readonly")}, path("readonly"), std::strerror(EACCES), true},
        {{"-o", path("readonly/out.pst")}, path("readonly/out.pst"), std::strerror(EACCES), true},
    };
    for (const Case& c : cases) {
        if (c.needsProtection && !canProtect) continue;
        std::vector<std::string> args = c.args;
        args.push_back(path("a.vcf"));
        auto r = import(args, setup);
        EXPECT_FALSE(r.timedOut) << describe(r);
        EXPECT_EQ(r.exitCode, 2) << c.where << ": " << describe(r);
        EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Files:"), std::string::npos) << "a summary for a run that never started:\n" << r.out;
    }
    chmod(path("readonly").c_str(), 0755);
    EXPECT_TRUE(QDir(scratch() + "/readonly").entryList({"*.pst"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(scratch() + "/no"));
}

// ---- 3. inputs built to hang the parser or exhaust memory -------------------------------------

namespace {

// No run below needs more: the biggest input holds one 100 MB line and one file 100,000 cards,
// and a run that kept every card or copied a line many times over would pass it. Under
// AddressSanitizer (./test --sanitize) freed memory is held in quarantine and every allocation
// has shadow memory, which puts these runs at 450-700 MB; the bound there only catches a run
// that holds everything.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakRssBoundKb = 1024 * 1024;
#else
constexpr long kPeakRssBoundKb = 400 * 1024;
#endif

void writeRepeated(std::ofstream& out, char c, size_t bytes) {
    const std::string chunk(1 << 20, c);
    for (size_t done = 0; done < bytes; done += chunk.size()) out.write(chunk.data(), std::min(chunk.size(), bytes - done));
}

std::string base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

// Runs a python snippet under /usr/bin/python3 (where pypff is installed) with arguments.
zentra::readers::ProcessResult python(const char* script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    return zentra::readers::runProcess(argv, 300s);
}

}  // namespace

TEST_F(Vcf2PstHostile, HundredMegabyteSingleLinesNeitherHangNorExhaustMemory) {
    constexpr size_t kLine = 100u << 20;
    {   // a card, then 100 MB of one line without a break to the end of the file
        std::ofstream out(path("card-then-line.vcf"), std::ios::binary);
        out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Before The Line\r\nN:Before The Line;;;;\r\nEND:VCARD\r\n";
        writeRepeated(out, 'x', kLine);
    }
    {   // nothing but one line of 100 MB
        std::ofstream out(path("one-line.vcf"), std::ios::binary);
        writeRepeated(out, 'y', kLine);
    }
    const std::string pst = path("out.pst");
    auto r = import({"-o", pst, path("card-then-line.vcf"), path("one-line.vcf")});
    std::printf("two files of 100 MB lines: peak RSS %.1f MB\n", r.peakRssKb / 1024.0);
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.exitCode, 1) << describe(r);
    const auto failed = failedFiles(r.out);
    ASSERT_EQ(failed.size(), 1u) << r.out;
    ASSERT_TRUE(failed.count(path("one-line.vcf"))) << r.out;
    EXPECT_NE(failed.at(path("one-line.vcf")).find("no vCard found"), std::string::npos) << r.out;
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 1) << r.out;
    EXPECT_GE(summaryNumber(r.out, "Warnings:  "), 1) << "the 100 MB line after the card went unmentioned:\n" << r.out;
    EXPECT_LT(r.peakRssKb, kPeakRssBoundKb);
    expectSoundStore(pst);
    EXPECT_EQ(contactsByLibpst(pst), (std::multiset<std::string>{"Before The Line"}));
}

TEST_F(Vcf2PstHostile, FiftyMegabytePhotoBecomesTheContactsPicture) {
    std::string photo(50u << 20, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull;   // fixed random start: the same bytes every run
    for (char& c : photo) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        c = static_cast<char>(x);
    }
    photo.replace(0, 4, "\xFF\xD8\xFF\xE0");   // JPEG's start marker, so it is kept as it is
    std::ofstream(path("photo.raw"), std::ios::binary) << photo;
    {
        std::ofstream out(path("photo.vcf"), std::ios::binary);
        out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big Photo\r\nN:Photo;Big;;;\r\nPHOTO;ENCODING=b;TYPE=JPEG:";
        const std::string text = base64(photo);
        for (size_t i = 0; i < text.size(); i += 76) out << (i ? "\r\n " : "") << text.substr(i, 76);
        out << "\r\nEND:VCARD\r\n";
    }
    photo.clear();
    photo.shrink_to_fit();

    const std::string pst = path("out.pst");
    auto r = import({"-o", pst, path("photo.vcf")});
    std::printf("50 MB photo: peak RSS %.1f MB\n", r.peakRssKb / 1024.0);
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 1) << r.out;
    EXPECT_LT(r.peakRssKb, kPeakRssBoundKb);
    expectSoundStore(pst);

    // libpff's view of the contact's attachments: each one's size and whether it is the photo.
    auto view = python(
        "import pypff, sys\n"
        "f = pypff.file(); f.open(sys.argv[1]); raw = open(sys.argv[2], 'rb').read()\n"
        "def walk(x):\n"
        "    for i in range(x.number_of_sub_messages):\n"
        "        m = x.get_sub_message(i); print('contact', m.subject)\n"
        "        for a in range(m.number_of_attachments):\n"
        "            at = m.get_attachment(a); data = at.read_buffer(at.size)\n"
        "            print('attachment', len(data), 'same' if data == raw else 'different')\n"
        "    for i in range(x.number_of_sub_folders): walk(x.get_sub_folder(i))\n"
        "walk(f.get_root_folder())\n",
        {pst, path("photo.raw")});
    ASSERT_EQ(view.exitCode, 0) << view.err;
    EXPECT_NE(view.out.find("contact Big Photo\n"), std::string::npos) << view.out;
    if (view.out.find("attachment") != std::string::npos)
        EXPECT_NE(view.out.find("attachment " + std::to_string(50u << 20) + " same"), std::string::npos) << view.out;
    else
        EXPECT_GE(summaryNumber(r.out, "Warnings:  "), 1) << "the photo was dropped without a word:\n" << r.out;
}

namespace {

// 5,000 vCard 2.1 cards each inside the AGENT of the one before.
void writeDeepAgents21(const std::string& file) {
    std::ofstream out(file, std::ios::binary);
    constexpr int kDepth = 5000;
    for (int i = 0; i < kDepth; ++i) out << "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Agent" << i << ";;;;\r\nAGENT:\r\n";
    out << "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Innermost;;;;\r\nEND:VCARD\r\n";
    for (int i = 0; i < kDepth; ++i) out << "END:VCARD\r\n";
}

// vCard 3.0 agents are escaped text values; every level escapes the one inside again.
void writeDeepAgents30(const std::string& file) {
    auto escaped = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\r\n") == 0) {
                out += "\\n";
                ++i;
            } else {
                if (text[i] == '\\' || text[i] == ',' || text[i] == ';') out += '\\';
                out += text[i];
            }
        }
        return out;
    };
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Deepest\r\nN:Deepest;;;;\r\nEND:VCARD\r\n";
    for (int level = 13; level >= 0; --level)
        card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Level " + std::to_string(level) + "\r\nN:Level" + std::to_string(level) +
               ";;;;\r\nAGENT:" + escaped(card) + "\r\nEND:VCARD\r\n";
    std::ofstream(file, std::ios::binary) << card;
}

}  // namespace

TEST_F(Vcf2PstHostile, DeepAgentsBrokenBase64AndControlCharactersStillGiveTheirContacts) {
    writeDeepAgents21(path("agents21.vcf"));
    writeDeepAgents30(path("agents30.vcf"));
    std::ofstream(path("bad-base64.vcf"), std::ios::binary)
        << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bad Photo\r\nN:Photo;Bad;;;\r\n"
           "PHOTO;ENCODING=b;TYPE=JPEG:@@@@!!!!****not base64 at all====abc\r\nEND:VCARD\r\n"
           "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Bad Gif\r\nN:Gif;Bad;;;\r\n"
           "PHOTO;ENCODING=BASE64;TYPE=GIF:R0lGODlh=====AAAA\r\n\r\n"
           "NOTE;ENCODING=QUOTED-PRINTABLE:=ZZ=4=\r\nEND:VCARD\r\n";
    std::string controls;
    for (char c = 1; c < 32; ++c)
        if (c != '\r' && c != '\n') controls += c;
    std::ofstream(path("controls.vcf"), std::ios::binary)
        << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ctl\0Name\x7f\r\nN:Ctl\0;Name;;;\r\nNOTE:"s << controls
        << "\xff\xfe\0\0end\r\nEMAIL:a\0b@example.com\r\nTEL:+1\0" "555\x1b[31m\r\nEND:VCARD\r\n"s
        << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:After Control\r\nN:Control;After;;;\r\nEND:VCARD\r\n";

    const std::string pst = path("out.pst");
    auto r = import({"-o", pst, path("agents21.vcf"), path("agents30.vcf"), path("bad-base64.vcf"), path("controls.vcf")},
                    {.timeout = 60s});
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 6) << r.out;
    EXPECT_GE(summaryNumber(r.out, "Warnings:  "), 2) << "broken base64 went unmentioned:\n" << r.out;
    EXPECT_LT(r.peakRssKb, kPeakRssBoundKb);
    expectSoundStore(pst);

    for (const auto& view : zentra::readers::readWithAll(pst)) {
        if (view.skipped) continue;
        ASSERT_TRUE(view.ok) << view.reader << ": " << view.error;
        std::multiset<std::string> surnames;
        for (const auto& f : view.folders)
            for (const auto& item : f.items) {
                surnames.insert(surnameOf(item));
                for (const auto& [key, value] : item.fields)
                    EXPECT_EQ(value.find('\0'), std::string::npos) << view.reader << " " << key << " holds a NUL";
            }
        // The outermost card of each nesting is the contact; the cards inside it are its agents.
        EXPECT_EQ(surnames, (std::multiset<std::string>{"Agent0", "Level0", "Photo", "Gif", "Ctl", "Control"}))
            << view.reader;
    }
}

// The reader skips AGENT cards nested more than 4 levels deep and says so with a warning on
// the nested agent card; the summary must count it.
TEST_F(Vcf2PstHostile, AgentsDroppedForDepthAreReported) {
    writeDeepAgents21(path("agents21.vcf"));
    writeDeepAgents30(path("agents30.vcf"));
    for (const char* file : {"agents21.vcf", "agents30.vcf"}) {
        const std::string pst = path(QString(file) + ".pst");
        auto r = import({"-o", pst, path(file)}, {.timeout = 60s});
        EXPECT_EQ(r.exitCode, 0) << describe(r);
        EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 1) << r.out;
        EXPECT_GE(summaryNumber(r.out, "Warnings:  "), 1) << file << ": cards beyond the depth limit dropped silently";
    }
}

TEST_F(Vcf2PstHostile, HundredThousandTinyCardsInOneFileKeepMemoryBounded) {
    constexpr int kCards = 100000;
    {
        std::ofstream out(path("tiny.vcf"), std::ios::binary);
        for (int n = 0; n < kCards; ++n)
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" << contactName(n) << ";;;;\r\nFN:" << contactName(n) << "\r\nEND:VCARD\r\n";
    }
    const std::string pst = path("out.pst");
    auto r = import({"-o", pst, path("tiny.vcf")}, {.timeout = 600s});
    std::printf("100,000 tiny cards in one file: peak RSS %.1f MB\n", r.peakRssKb / 1024.0);
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), kCards) << r.out;
    EXPECT_LT(r.peakRssKb, kPeakRssBoundKb) << "the run seems to hold every card at once";
    expectSoundStore(pst);
    const auto stored = contactsByLibpst(pst);
    ASSERT_EQ(stored.size(), size_t{kCards});
    std::multiset<std::string> expected;
    for (int n = 0; n < kCards; ++n) expected.insert(expected.end(), contactName(n));
    EXPECT_TRUE(stored == expected) << "the names read back are not exactly the cards' names";
}

// ---- stopping a run stuck in one long file ----------------------------------------------------

TEST_F(Vcf2PstHostile, AnInterruptStopsInsideALongFileAndSaysHowMuchOfItIsStored) {
    constexpr int kCards = 300000;
    QDir().mkpath(scratch() + "/src");
    writeCards(path("src/long.vcf"), 0, kCards);
    const std::string pst = path("out.pst");
    FileWatch watch(path("src"), scratch().toStdString(), "out.pst");
    ASSERT_TRUE(watch.ok());
    Child child({kProgram, "-o", pst, path("src/long.vcf")}, scratch(), {.timeout = 300s});
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (!watch.opened().count("long.vcf") && std::chrono::steady_clock::now() < end) watch.drain(50);
    ASSERT_TRUE(watch.opened().count("long.vcf")) << "the file was never opened";
    // Late enough for some periodic saves, early enough that the file is far from done.
    std::this_thread::sleep_for(2s);
    kill(child.pid(), SIGTERM);
    const ChildResult r = child.wait();
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.signal, 0) << "one request must end the run by itself: " << describe(r);
    EXPECT_EQ(r.exitCode, 1) << describe(r);

    expectSoundStore(pst);
    const auto stored = contactsByLibpst(pst);
    std::multiset<std::string> prefix;
    for (size_t n = 0; n < stored.size(); ++n) prefix.insert(contactName(static_cast<int>(n)));
    EXPECT_EQ(stored, prefix) << "the store does not hold the first " << stored.size() << " contacts";
    EXPECT_LT(stored.size(), size_t{kCards});
    // The summary names the file and the number of its contacts that are in the store.
    EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), static_cast<long>(stored.size())) << r.out;
    EXPECT_NE(r.out.find("long.vcf: stopped on request after " + std::to_string(stored.size()) + " contacts"),
              std::string::npos) << r.out;
    std::printf("stopped inside the file: %zu of %d contacts kept\n", stored.size(), kCards);
}

// Fails today (each child is killed after 120 s): a card with very many properties of one kind
// is mapped in quadratic time or worse. 400,000 EMAIL lines (11 MB) meet the duplicate check in
// contact/src/map_email.cpp (every address compared with every earlier one), 400,000
// CATEGORIES lines the one in contact/src/map_personal.cpp (mapCategories), and 400,000 LABEL
// lines vcard::Card::addresses(), called from contact/src/map_addresses.cpp. Measured with
// 20,000 / 40,000 lines: 1.7 / 6.3 s (EMAIL), 1.0 / 4.2 s (CATEGORIES), 0.9 / 6.8 s (LABEL);
// a million EMAIL lines ran for 15 minutes before it was killed.
TEST_F(Vcf2PstHostile, CardsWithHundredsOfThousandsOfOneKindOfPropertyEndInTime) {
    constexpr int kLines = 400000;
    for (const std::string kind : {"EMAIL", "CATEGORIES", "LABEL"}) {
        const std::string file = path(QString::fromStdString(kind) + ".vcf");
        {
            std::ofstream out(file, std::ios::binary);
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many " << kind << "\r\nN:Many " << kind << ";;;;\r\n";
            for (int n = 0; n < kLines; ++n) out << kind << ":v" << n << "@example.com\r\n";
            out << "END:VCARD\r\n";
        }
        const std::string pst = file + ".pst";
        auto r = import({"-o", pst, file}, {.timeout = 120s});
        EXPECT_FALSE(r.timedOut) << kind << ": the run did not end";
        if (r.timedOut) continue;
        EXPECT_EQ(r.exitCode, 0) << kind << ": " << describe(r);
        EXPECT_EQ(summaryNumber(r.out, "Contacts:  "), 1) << kind << ": " << r.out;
        EXPECT_LT(r.peakRssKb, kPeakRssBoundKb) << kind;
        expectSoundStore(pst);
    }
}
