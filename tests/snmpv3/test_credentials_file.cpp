// A site's SNMPv3 credentials file: what it may hold, which files are
// refused, and the sets a hosts file names.
#include "Discover.h"
#include "snmp/Credentials.h"
#include "snmp/CredentialsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(CredentialsFile, SetsInFileOrderWithValuesToTheEndOfTheLine)
{
    std::vector<SnmpV3Credentials> sets;
    std::string error;
    ASSERT_TRUE(ParseSnmpV3CredentialsText("# the office\n"
                                           "[office]\n"
                                           "  user = lwmonitor\r\n"
                                           "auth-passphrase=first pass phrase  \n"
                                           "priv-passphrase =   #not a comment\n"
                                           "\n"
                                           "[lab-2]\n"
                                           "priv-passphrase = 0123456789012345678901234567890123456789012345678901234567890123\n"
                                           "auth-passphrase = 12345678\n"
                                           "user = u",
                                           sets, error))
        << error;
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].name, "office");
    EXPECT_EQ(sets[0].user, "lwmonitor");
    EXPECT_EQ(sets[0].authPass, "first pass phrase  ");
    EXPECT_EQ(sets[0].privPass, "#not a comment");
    EXPECT_EQ(sets[1].name, "lab-2");
    EXPECT_EQ(sets[1].user, "u");
    EXPECT_EQ(sets[1].authPass, "12345678");
    EXPECT_TRUE(ParseSnmpV3CredentialsText("# nothing yet\n", sets, error));
    EXPECT_TRUE(sets.empty());
}

TEST(CredentialsFile, EveryFaultNamesItsLineAndNoValue)
{
    const std::string set = "[a]\nuser = u\nauth-passphrase = secret-one\npriv-passphrase = secret-two\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"user = u\n", "line 1: user before the first [set]"},
        {"[a]\nuser = u\nauth-passphrase = secret-one\n", "line 1: set [a] lacks priv-passphrase"},
        {set + "[b]\nuser = v\n[c]\n", "line 5: set [b] lacks auth-passphrase"},
        {set + "[a]\n", "line 5: a second set [a]"},
        {"[a]\nuser = u\nuser = v\n", "line 3: a second user in set [a]"},
        {"[a]\nauth-passphrase = secret7\n", "line 2: auth-passphrase must be 8 to 64 bytes long, not 7"},
        {"[a]\nuser = " + std::string(33, 'u') + "\n", "line 2: user must be 1 to 32 bytes long, not 33"},
        {"[a]\nuser =\n", "line 2: user must be 1 to 32 bytes long, not 0"},
        {"[a]\npriv-passphrase = secret-\x01two\n", "line 2: priv-passphrase holds a control character"},
        {"[a]\nsecret-one two\n", "line 2: neither a comment, a [set] nor a key = value line"},
        {"[a]\nsecret one = x\n", "line 2: unknown key (the keys are user, auth-passphrase and priv-passphrase)"},
        {"[a]\nauthpass = x\n", "line 2: unknown key \"authpass\" (the keys are user, auth-passphrase and "
                                "priv-passphrase)"},
        {"[a b]\n", "line 1: a set's name is 1 to 32 letters, digits, '-', '_' or '.'"},
        {"[a] x\n", "line 1: a set's name is written [name]"},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<SnmpV3Credentials> sets;
        std::string error;
        EXPECT_FALSE(ParseSnmpV3CredentialsText(text, sets, error)) << text;
        EXPECT_EQ(error, expected) << text;
        EXPECT_EQ(error.find("secret"), std::string::npos);
        EXPECT_TRUE(sets.empty());
    }
    std::string many;
    for (size_t i = 0; i <= kCredentialsMaxSets; ++i)
        many += "[s" + std::to_string(i) + "]\nuser = u\nauth-passphrase = 12345678\npriv-passphrase = 12345678\n";
    std::vector<SnmpV3Credentials> sets;
    std::string error;
    EXPECT_FALSE(ParseSnmpV3CredentialsText(many, sets, error));
    EXPECT_EQ(error, "line " + std::to_string(4 * kCredentialsMaxSets + 1) + ": more than 64 sets");
}

// The loader on files of this process's own: refused while others may read
// it or while it belongs to another user; then its sets replace the built-in
// one, a hosts file may name them, and the process no longer dumps core.
TEST(CredentialsFile, OnlyAFileOfRootOrThisUserThatOthersCannotReadIsTaken)
{
    char dir[] = "/tmp/lwcredsXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/snmp.conf";
    std::ofstream(path) << "[office]\nuser = u1\nauth-passphrase = office-auth\npriv-passphrase = office-priv\n"
                           "[lab]\nuser = u2\nauth-passphrase = lab-auth-1\npriv-passphrase = lab-priv-1\n";
    std::string error;
    const std::string examples = std::string(dir) + "/examples.conf";
    std::ofstream(examples) << "# [office]\n# user = u1\n";
    ::setenv("LEVELWATCH_CONFIG", examples.c_str(), 1); // no set: nothing to hide, as installed
    ASSERT_EQ(::chmod(examples.c_str(), 0644), 0);
    EXPECT_TRUE(LoadSnmpV3Credentials(error)) << error;
    ::unlink(examples.c_str());
    ::setenv("LEVELWATCH_CONFIG", path.c_str(), 1);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_FALSE(LoadSnmpV3Credentials(error));
    EXPECT_EQ(error, path + " can be read by other users: chmod 0640 " + path + " (owner root, group lp)");
    ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    EXPECT_FALSE(LoadSnmpV3Credentials(error));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 4242, 0), 0);
        EXPECT_FALSE(LoadSnmpV3Credentials(error));
        EXPECT_EQ(error, path + " belongs to neither root nor this user: chown root:lp " + path);
        ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(SnmpV3CredentialSets().size(), 1u); // the built-in set, so far
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 1);
    ASSERT_TRUE(LoadSnmpV3Credentials(error)) << error;
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0);
    ASSERT_EQ(SnmpV3CredentialSets().size(), 2u);
    EXPECT_EQ(ThreadSnmpV3Credentials().user, "u1");
    EXPECT_EQ(SnmpV3CredentialsFile(), path);
    ASSERT_NE(FindSnmpV3Credentials("lab"), nullptr);
    EXPECT_EQ(FindSnmpV3Credentials("lab")->privPass, "lab-priv-1");

    std::vector<HostEntry> hosts;
    std::vector<std::string> rejected;
    ParseHostsText("192.0.2.20 lab\n192.0.2.21\tlab  # lab bench\n192.0.2.22 attic\n192.0.2.23 lab x\n", hosts,
                   rejected);
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[0].credentials, "lab");
    EXPECT_EQ(hosts[1].text, "192.0.2.21");
    EXPECT_EQ(rejected, (std::vector<std::string>{
                            "line 3: \"attic\" is no credential set of " + path,
                            "line 4: \"192.0.2.23 lab x\" is more than an address or name and a credential set"}));

    ::unlink(path.c_str());
    EXPECT_FALSE(LoadSnmpV3Credentials(error)); // a file named must be there
    EXPECT_EQ(SnmpV3CredentialSets().size(), 2u);
    ::unsetenv("LEVELWATCH_CONFIG");
    ::rmdir(dir);
}

} // namespace
