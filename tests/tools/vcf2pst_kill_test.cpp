// The command-line importer killed with SIGKILL at random moments of a 20,000-contact import.
// After every kill the file must be a valid store that every reader opens, holding exactly the
// first k contacts of the input order for some k: never a torn or half-written contact.
//
// libpff is read through pypff (the same library; pffexport needs minutes for 20,000 items),
// and pst-extractor, the slowest reader, reads the first partly imported store only.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "lspst_contacts.h"
#include "readers.h"

namespace {

constexpr int kFiles = 200;
constexpr int kCardsPerFile = 100;
constexpr int kContacts = kFiles * kCardsPerFile;

std::string contactName(int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Contact %05d", n);
    return buf;
}

// Writes the input files and returns them in input order.
std::vector<std::string> writeInput(const QString& dir) {
    std::vector<std::string> files;
    for (int f = 0; f < kFiles; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/part%03d.vcf", f);
        files.push_back(dir.toStdString() + name);
        std::ofstream out(files.back());
        for (int c = 0; c < kCardsPerFile; ++c) {
            const int n = f * kCardsPerFile + c;
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" << contactName(n) << ";;;;\r\nFN:" << contactName(n)
                << "\r\nEMAIL:c" << n << "@example.com\r\nTEL;TYPE=work:+1 555 " << n << "\r\nEND:VCARD\r\n";
        }
    }
    return files;
}

// Starts the importer; returns its pid.
pid_t startImport(const std::vector<std::string>& files, const std::string& pst) {
    std::vector<std::string> args = {ZENTRA_BINARY_DIR "/bin/zentra-vcf2pst", "--quiet", "-o", pst};
    args.insert(args.end(), files.begin(), files.end());
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The subjects of every message, through libpff's Python binding.
std::vector<std::string> subjectsByPypff(const std::string& pst) {
    const char* script =
        "import pypff, sys\n"
        "f = pypff.file(); f.open(sys.argv[1])\n"
        "def walk(x):\n"
        "    for i in range(x.number_of_sub_messages): print(x.get_sub_message(i).subject)\n"
        "    for i in range(x.number_of_sub_folders): walk(x.get_sub_folder(i))\n"
        "walk(f.get_root_folder())\n";
    auto r = zentra::readers::runProcess({"/usr/bin/python3", "-c", script, pst}, std::chrono::seconds(300));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(Vcf2PstKill, EveryKillLeavesAValidStoreHoldingAPrefixOfTheInput) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto files = writeInput(dir.path());

    // A full run first: how long an import takes here.
    const std::string full = dir.filePath("full.pst").toStdString();
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = startImport(files, full);
    int status = 0;
    waitpid(pid, &status, 0);
    const double fullSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const double rate = kContacts / fullSeconds;

    std::mt19937 random(20261207);   // fixed, so a failure can be replayed
    std::uniform_real_distribution<double> moment(0.15, 0.95);
    int partial = 0;
    double worstLossSeconds = 0;
    bool extractorRead = false;
    for (int run = 0; run < 3; ++run) {
        const std::string pst = dir.filePath(QString("killed%1.pst").arg(run)).toStdString();
        const double killAfter = moment(random) * fullSeconds;
        pid = startImport(files, pst);
        std::this_thread::sleep_for(std::chrono::duration<double>(killAfter));
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (!QFile::exists(QString::fromStdString(pst))) continue;   // killed before the store existed

        auto check = zentra::readers::runProcess({ZENTRA_BINARY_DIR "/bin/pstcheck", "--quiet", pst},
                                                 std::chrono::seconds(120));
        EXPECT_EQ(check.exitCode, 0) << "run " << run << ": " << check.out << check.err;

        const auto subjects = subjectsByPypff(pst);
        const std::set<std::string> seen(subjects.begin(), subjects.end());
        const size_t k = seen.size();
        EXPECT_EQ(subjects.size(), k) << "a contact was written twice";
        std::set<std::string> prefix;
        for (size_t n = 0; n < k; ++n) prefix.insert(contactName(static_cast<int>(n)));
        EXPECT_EQ(seen, prefix) << "run " << run << ": the store does not hold the first " << k << " contacts";
        if (k > 0 && k < static_cast<size_t>(kContacts)) ++partial;
        worstLossSeconds = std::max(worstLossSeconds, killAfter - k / rate);

        auto libpst = zentra::readers::readWithLibpst(pst);
        EXPECT_TRUE(libpst.ok) << "libpst on run " << run << ": " << libpst.error;
        if (k > 0 && !extractorRead) {
            extractorRead = true;
            zentra::readers::ReaderOptions slow;
            slow.timeout = std::chrono::seconds(300);
            auto extractor = zentra::readers::readWithPstExtractor(pst, slow);
            if (!extractor.skipped) {
                EXPECT_TRUE(extractor.ok) << "pst-extractor on run " << run << ": " << extractor.error;
            }
        }
        std::printf("kill %d after %.2f s of %.2f s: %zu contacts kept\n", run, killAfter, fullSeconds, k);
    }
    std::printf("largest loss: about %.2f s of work\n", worstLossSeconds);
    EXPECT_GT(partial, 0) << "no kill landed after a periodic commit; the test proved nothing";
}

// Kills spread over the first second, densest in its first tenth, while the store is being
// made and takes its name: each leaves either no file under the store's name or a valid store
// holding a prefix of the input. The temporary file a killed run leaves is removed by the next
// run in that folder.
TEST(Vcf2PstKill, KillsInTheFirstSecondLeaveNoFileOrAValidStore) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto files = writeInput(dir.path());
    constexpr int kKills = 25;
    int stores = 0;
    pid_t lastKilled = 0;
    for (int i = 0; i < kKills; ++i) {
        const std::string pst = dir.filePath(QString("early%1.pst").arg(i)).toStdString();
        const double share = (i + 0.5) / kKills;
        const double killAfter = share * share;
        lastKilled = startImport(files, pst);
        std::this_thread::sleep_for(std::chrono::duration<double>(killAfter));
        kill(lastKilled, SIGKILL);
        waitpid(lastKilled, nullptr, 0);
        if (!QFile::exists(QString::fromStdString(pst))) continue;
        ++stores;
        auto check = zentra::readers::runProcess({ZENTRA_BINARY_DIR "/bin/pstcheck", "--quiet", pst},
                                                 std::chrono::seconds(120));
        EXPECT_EQ(check.exitCode, 0) << "killed after " << killAfter << " s: " << check.out << check.err;
        const auto names = zentra::readers::contactsByLibpst(pst);
        const std::set<std::string> seen(names.begin(), names.end());
        std::set<std::string> prefix;
        for (size_t n = 0; n < seen.size(); ++n) prefix.insert(contactName(static_cast<int>(n)));
        EXPECT_EQ(names.size(), seen.size()) << "killed after " << killAfter << " s: a contact was written twice";
        EXPECT_EQ(seen, prefix) << "killed after " << killAfter << " s";
        std::printf("kill after %.3f s: a store of %zu contacts\n", killAfter, seen.size());
    }
    std::printf("%d of %d kills in the first second left a store under its name\n", stores, kKills);
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.endsWith(".zentra-partial")) << name.toStdString();

    // A dead run's temporary file goes with the next run in the folder; a running one's stays.
    const QString dead = dir.filePath(QString(".early0.pst.%1.zentra-partial").arg(lastKilled));
    const QString alive = dir.filePath(QString(".early1.pst.%1.zentra-partial").arg(getpid()));
    for (const QString& planted : {dead, alive}) std::ofstream(planted.toStdString()) << "partial";
    pid_t next = startImport({files[0]}, dir.filePath("next.pst").toStdString());
    int status = 0;
    waitpid(next, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(alive));
}
