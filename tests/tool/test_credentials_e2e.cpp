// A site's own SNMPv3 user and pass phrases, read at run time by levelwatch,
// levelwatch-discover and check_levelwatch from the credentials file, against
// an agent in a network namespace that knows only them; and name lookups that
// end at their deadline with a resolver that never answers.
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lwtest;

namespace {

const std::string kSiteAuth = "a site's own auth phrase";
const std::string kSitePriv = "and its privacy phrase ";
const std::string kSiteSet = "[site]\nuser = lwsite\nauth-passphrase = " + kSiteAuth + "\npriv-passphrase = " + kSitePriv
                             + "\n";
const std::string kOldSet = "[old]\nuser = lwold\nauth-passphrase = not this one\npriv-passphrase = nor this one\n";

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class SiteCredentials : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        net_ = new AgentNetwork(1);
        Agent a;
        a.name = "site";
        a.ipv4 = "192.0.2.21";
        a.ipv6 = "fe80::21";
        a.v1 = false;
        a.v3User = "lwsite";
        a.v3AuthPass = kSiteAuth;
        a.v3PrivPass = kSitePriv;
        a.deviceId = deviceIdWithStatus(statusBlock(55, 100, 40, 80));
        if (net_->ok())
            net_->add(a);
    }
    static void TearDownTestSuite()
    {
        delete net_;
        net_ = nullptr;
    }
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        ASSERT_TRUE(net_->ok() && net_->error().empty()) << net_->error();
    }
    Env config(const std::string& text, int mode = 0640)
    {
        return {{"LEVELWATCH_CONFIG", dir_.write("snmp.conf", text, mode)}};
    }

    TempDir dir_;
    static AgentNetwork* net_;
};

AgentNetwork* SiteCredentials::net_ = nullptr;

ProcessResult levelwatch(const Env& env) { return runProcess({LEVELWATCH_BIN, "socket://192.0.2.21"}, env, 60000); }
ProcessResult check(const Env& env) { return runProcess({CHECK_LEVELWATCH_BIN, "-H", "192.0.2.21"}, env, 60000); }
ProcessResult discover(const Env& env)
{
    return runProcess({LEVELWATCH_DISCOVER_BIN, "--v3", "--levels", "--host", "192.0.2.21"}, env, 60000);
}

TEST_F(SiteCredentials, EveryProgramReadsTheLevelsWithTheFileAndFailsCleanlyWithout)
{
    // Two sets, the second right: levelwatch and the check try both.
    Env env = config("# two sets\n" + kOldSet + "\n" + kSiteSet);
    ProcessResult r = levelwatch(env);
    EXPECT_EQ(r.exitStatus, 0) << net_->log("site");
    EXPECT_NE(r.out.find("<integer>55</integer>"), std::string::npos) << r.out;
    r = check(env);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("TONER OK - black 55%, cyan 100%, magenta 40%, yellow 80% |", 0), 0u) << r.out;
    // Discovery presents the first set.
    r = discover(config(kSiteSet + kOldSet));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "192.0.2.21\tv3\tsite\t\t\t55\t100\t40\t80\n");

    // Without the file: the built-in user, which this agent does not know.
    EXPECT_EQ(levelwatch({}).exitStatus, 255);
    r = check({});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out.rfind("TONER UNKNOWN - no answer from 192.0.2.21", 0), 0u) << r.out;
    r = discover({});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "");

    // A file others can read is refused by every program, with the remedy.
    env = config(kSiteSet, 0644);
    const std::string remedy = "can be read by other users: chmod 0640 " + dir_.file("snmp.conf");
    r = levelwatch(env);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_NE(r.err.find("levelwatch: " + dir_.file("snmp.conf") + " " + remedy), std::string::npos) << r.err;
    r = check(env);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_NE(r.out.find(remedy), std::string::npos) << r.out;
    r = discover(env);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find(remedy), std::string::npos) << r.err;
    // So is one that does not parse; the line is named, the value is not.
    r = levelwatch(config("[site]\nuser = lwsite\nauth-passphrase = short\n"));
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_NE(r.err.find("line 3: auth-passphrase must be 8 to 64 bytes long, not 5"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("short"), std::string::npos);
}

// Scans every process while the programs run: no command line and no
// environment holds a pass phrase (the agents' included).
TEST_F(SiteCredentials, NoPassPhraseInAnyProcessCommandLineOrEnvironment)
{
    const Env env = config(kOldSet + kSiteSet);
    size_t seen = 0;
    std::string found;
    for (const std::vector<std::string>& argv :
         {std::vector<std::string>{LEVELWATCH_BIN, "socket://192.0.2.21"},
          {LEVELWATCH_DISCOVER_BIN, "--v3", "--host", "192.0.2.21"}, {CHECK_LEVELWATCH_BIN, "-H", "192.0.2.21"}}) {
        ChildProcess program;
        ASSERT_TRUE(program.start(argv, env, dir_.file("out"), dir_.file("err")));
        while (program.running()) {
            DIR* proc = ::opendir("/proc");
            for (dirent* e; proc && (e = ::readdir(proc));) {
                if (e->d_name[0] < '0' || e->d_name[0] > '9')
                    continue;
                const std::string base = std::string("/proc/") + e->d_name;
                const std::string text = slurp(base + "/cmdline") + slurp(base + "/environ");
                seen += std::to_string(program.pid()) == e->d_name && !text.empty() ? 1 : 0;
                for (const std::string* phrase : {&kSiteAuth, &kSitePriv})
                    if (text.find(*phrase) != std::string::npos)
                        found += base + " ";
            }
            if (proc)
                ::closedir(proc);
            ::usleep(20000);
        }
    }
    EXPECT_GT(seen, 0u);
    EXPECT_EQ(found, "");
}

// A resolver that takes a question and never answers (a socket that never
// reads, named by this namespace's own resolv.conf, a wait of minutes): the
// lookups still end at their bounds (levelwatch-discover's 10 s, with the
// reason; levelwatch's 5 s a family), and leave no process behind.
TEST(NameLookups, EndAtTheirDeadlineWhenTheResolverNeverAnswers)
{
    if (!inPrivateNetwork())
        GTEST_SKIP() << "needs a private network and mount namespace";
    const int silent = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    TempDir dir;
    const std::string conf = dir.write("resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:5\n");
    ASSERT_EQ(::mount(conf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
    const std::string hosts = dir.write("hosts", "printer-7.example.org\n192.0.2.99\n");
    ProcessResult r = runProcess({LEVELWATCH_DISCOVER_BIN, "--v1", "--hosts-file", hosts}, {}, 60000);
    // levelwatch by name: both families' lookups end at their bound.
    ProcessResult byName = runProcess({LEVELWATCH_BIN, "socket://printer-7.example.org"}, {}, 60000);
    ::umount("/etc/resolv.conf");
    EXPECT_FALSE(byName.timedOut);
    EXPECT_EQ(byName.exitStatus, 1); // no address
    ::close(silent);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find(hosts + ": line 1: \"printer-7.example.org\" does not resolve (no answer from the resolver "
                                 "in time) (skipped)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("no printer answered at 192.0.2.99"), std::string::npos) << r.err;
    RecordProperty("seconds", std::to_string(r.seconds));
    ProcessResult left = runProcess({"pgrep", "-f", LEVELWATCH_DISCOVER_BIN});
    EXPECT_EQ(left.out, "");
}

} // namespace
