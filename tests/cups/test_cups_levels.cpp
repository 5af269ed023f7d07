// Toner levels inside CUPS: a private cupsd with our filters installed, a
// queue with the printer's PPD, and the printer played by snmpd (SNMPv3 only)
// or a fake USB status filter. Jobs go to a backend that keeps their data.
#include "Peers.h"
#include "SnmpTestData.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <grp.h>
#include <map>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using namespace lwtest;

namespace {

const std::string kPpd = LW_SOURCE_DIR "/plugin/ppd/corvane5170.ppd";

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

SnmpdConfig v3OnlyPrinter(const std::vector<unsigned char>& block)
{
    SnmpdConfig c;
    c.listen = {"udp:127.0.0.3:161"};
    c.community = "";
    c.deviceId = deviceIdWithStatus(block);
    c.v3User = LEVELWATCH_SNMPV3_USER;
    c.v3AuthPass = LEVELWATCH_SNMPV3_AUTH_PASS;
    c.v3PrivPass = LEVELWATCH_SNMPV3_PRIV_PASS;
    c.engineIdHex = "80000CF103525400A1B2C3";
    return c;
}

class CupsLevels : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        cupsd_ = std::make_unique<PrivateCupsd>();
        ASSERT_TRUE(cupsd_->ok()) << cupsd_->errorLog();
        cupsSetServer(cupsd_->socketPath().c_str()); // libcups keeps the first server it was told
        ASSERT_TRUE(cupsd_->installFilter(LEVELWATCH_PASSTHRU_BIN, "levelwatch-passthru"));
        ASSERT_TRUE(cupsd_->installFilter(LEVELWATCH_COMMAND_BIN, "levelwatch-command"));
        // The backends keep each job's data as jobs/JOB-ID (they run as lp).
        mkdir(scratch_.file("jobs").c_str(), 0777);
        chmod(scratch_.file("jobs").c_str(), 0777);
        for (const char* scheme : {"socket", "usb"})
            script(cupsd_->serverBin() + "/backend/" + scheme,
                   "[ $# -eq 0 ] && exit 0\ncat > '" + scratch_.file("jobs") + "/'\"$1\"\n");
    }

    static void script(const std::string& path, const std::string& body)
    {
        std::ofstream(path, std::ios::trunc) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
    }

    // Submits with lp; the job's id.
    int lp(const std::string& queue, const std::string& file, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv = {"lp", "-d", queue};
        for (const auto& o : options)
            argv.insert(argv.end(), {"-o", o});
        argv.push_back(file);
        ProcessResult r = runProcess(argv, cupsd_->env());
        size_t dash = r.out.find(queue + "-");
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return dash == std::string::npos ? 0 : std::atoi(r.out.c_str() + dash + queue.size() + 1);
    }

    int command(const std::string& queue)
    {
        std::string file = scratch_.write("command", "#CUPS-COMMAND\nReportLevels\n");
        return lp(queue, file, {"document-format=application/vnd.cups-command"});
    }

    // Waits for the job to end; its final state (9 completed).
    int finished(int job)
    {
        for (int i = 0; i < 600; ++i) {
            cups_job_t* jobs = nullptr;
            int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
            int state = 0;
            for (int j = 0; j < n; ++j)
                if (jobs[j].id == job)
                    state = jobs[j].state;
            cupsFreeJobs(n, jobs);
            if (state >= IPP_JSTATE_STOPPED)
                return state;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // The queue's attributes as lpoptions -p shows them.
    std::map<std::string, std::string> queue(const std::string& name)
    {
        std::map<std::string, std::string> out;
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
        for (int i = 0; dest && i < dest->num_options; ++i)
            out[dest->options[i].name] = dest->options[i].value;
        cupsFreeDests(dest ? 1 : 0, dest);
        return out;
    }

    std::string jobData(int job) { return slurp(scratch_.file("jobs/" + std::to_string(job))); }

    TempDir scratch_;
    std::unique_ptr<PrivateCupsd> cupsd_;
};

} // namespace

// A command job and then an ordinary job bring the levels the agent serves;
// the state reasons follow the low and the empty toner.
TEST_F(CupsLevels, SnmpV3OnlyPrinterLevelsOnDemandAndWithEveryJob)
{
    auto agent = std::make_unique<Snmpd>(v3OnlyPrinter(statusBlock(80, 61, 5, 0xFF)));
    ASSERT_TRUE(agent->ok()) << agent->log();
    ASSERT_TRUE(cupsd_->addQueue("Colour", "socket://127.0.0.3:9100", kPpd));
    EXPECT_EQ(queue("Colour")["printer-commands"], "ReportLevels");
    EXPECT_EQ(queue("Colour").count("marker-levels"), 0u);

    int job = command("Colour");
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(jobData(job), "") << "a command job sends nothing to the printer";
    auto q = queue("Colour");
    EXPECT_EQ(q["marker-levels"], "80,61,5,-2") << cupsd_->errorLog();
    EXPECT_EQ(q["marker-colors"], "#000000,#00FFFF,#FF00FF,#FFFF00");
    // libcups escapes the spaces of a list's values, as lpoptions shows them.
    EXPECT_EQ(q["marker-names"], "Black\\ Print\\ Cartridge,Cyan\\ Print\\ Cartridge,Magenta\\ Print\\ Cartridge,"
                                 "Yellow\\ Print\\ Cartridge");
    EXPECT_EQ(q["marker-types"], "toner,toner,toner,toner");
    EXPECT_EQ(q["marker-low-levels"], "10,10,10,10");
    EXPECT_EQ(q["marker-high-levels"], "100,100,100,100");
    EXPECT_NE(q["printer-state-reasons"].find("toner-low-report"), std::string::npos);
    EXPECT_EQ(q["printer-state-reasons"].find("toner-empty"), std::string::npos);
    const long changed = std::atol(q["marker-change-time"].c_str());
    EXPECT_GT(changed, 0);

    // New values at the agent; an ordinary job prints unchanged and brings them.
    agent.reset();
    agent = std::make_unique<Snmpd>(v3OnlyPrinter(statusBlock(0, 90, 90, 0x80 | 90)));
    ASSERT_TRUE(agent->ok()) << agent->log();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // marker-change-time counts seconds
    const std::string text = "A page of text.\n";
    job = lp("Colour", scratch_.write("page.txt", text));
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(jobData(job), text);
    q = queue("Colour");
    EXPECT_EQ(q["marker-levels"], "0,90,90,90");
    EXPECT_GT(std::atol(q["marker-change-time"].c_str()), changed);
    EXPECT_NE(q["printer-state-reasons"].find("toner-empty-warning"), std::string::npos);
    EXPECT_EQ(q["printer-state-reasons"].find("toner-low"), std::string::npos);
}

// A printer that never answers: the job's data all reaches the backend, the
// job completes, no levels are invented, and the log says why.
TEST_F(CupsLevels, UnreachablePrinterStillPrints)
{
    ASSERT_TRUE(cupsd_->addQueue("Silent", "socket://127.0.0.9:9100", kPpd));
    std::string big;
    for (int i = 0; big.size() < 3u << 20; ++i)
        big += "%% line " + std::to_string(i) + " of a large job\n";
    int job = lp("Silent", scratch_.write("big.ps", "%!PS-Adobe-3.0\n" + big));
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(jobData(job), "%!PS-Adobe-3.0\n" + big);
    job = command("Silent");
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(queue("Silent").count("marker-levels"), 0u);
    const std::string log = cupsd_->errorLog();
    EXPECT_NE(log.find("Toner levels not read: no status from the printer over SNMP v1 or SNMPv3."),
              std::string::npos);
}

// The USB road: the levels come from the sibling status filter's line.
TEST_F(CupsLevels, UsbPrinterLevelsFromTheStatusFilter)
{
    scratch_.write("line", deviceIdWithStatus(statusBlock(33, 0xE4, 7, 100)) + "\n");
    script(cupsd_->serverBin() + "/filter/cablegauge", "cat '" + scratch_.file("line") + "'\n");
    ASSERT_TRUE(cupsd_->addQueue("UsbColour", "usb://Test/Colour?serial=A1", kPpd));
    int job = command("UsbColour");
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(queue("UsbColour")["marker-levels"], "33,100,7,100");
}

// Outside CUPS: the filter passes data on while its input is still open (it
// streams, it does not gather the job first), while the levels are read.
TEST_F(CupsLevels, PassthruStreamsWhileTheLevelsAreRead)
{
    Snmpd agent(v3OnlyPrinter(statusBlock(1, 2, 3, 4)));
    ASSERT_TRUE(agent.ok()) << agent.log();
    const std::string script = R"(cd "$1" && mkfifo in && { "$2" 1 user title 1 '' <in >out 2>err & }
        exec 3>in; printf 'first\n' >&3
        for i in $(seq 300); do grep -q first out && break; sleep 0.1; done
        grep -q first out || echo "nothing came out while the input was open"
        printf 'rest\n' >&3; exec 3>&-; wait $!; echo "exit $?")";
    ProcessResult r = runProcess({"bash", "-c", script, "bash", scratch_.path(), LEVELWATCH_PASSTHRU_BIN},
                                 {{"DEVICE_URI", "socket://127.0.0.3"}}, 60000);
    EXPECT_EQ(r.out, "exit 0\n");
    EXPECT_EQ(slurp(scratch_.file("out")), "first\nrest\n");
    EXPECT_NE(slurp(scratch_.file("err")).find("ATTR: marker-levels=1,2,3,4\n"), std::string::npos);
}

// The command filter, run by the scheduler as lp, reads a site's credentials
// file of owner root, group lp, mode 0640 (the second set is the printer's);
// a file that others can read stops it with the reason in the log.
TEST_F(CupsLevels, FilterAsLpReadsTheSitesCredentialsFile)
{
    SnmpdConfig c = v3OnlyPrinter(statusBlock(70, 60, 50, 40));
    c.v3User = "lwsite";
    c.v3AuthPass = "the site's auth phrase";
    c.v3PrivPass = "the site's priv phrase";
    Snmpd agent(c);
    ASSERT_TRUE(agent.ok()) << agent.log();
    const std::string conf = scratch_.write("snmp.conf",
                                            "[old]\nuser = lwold\nauth-passphrase = not this one\n"
                                            "priv-passphrase = nor this one\n[site]\nuser = lwsite\n"
                                            "auth-passphrase = the site's auth phrase\n"
                                            "priv-passphrase = the site's priv phrase\n",
                                            0640);
    const group* lp = getgrnam("lp");
    ASSERT_NE(lp, nullptr);
    ASSERT_EQ(chown(conf.c_str(), 0, lp->gr_gid), 0);
    // The scheduler passes no LEVELWATCH_CONFIG: a wrapper names the file.
    const std::string filters = cupsd_->serverBin() + "/filter/";
    ASSERT_TRUE(cupsd_->installFilter(LEVELWATCH_COMMAND_BIN, "levelwatch-command.real"));
    script(filters + "levelwatch-command",
           "LEVELWATCH_CONFIG='" + conf + "' exec '" + filters + "levelwatch-command.real' \"$@\"\n");
    ASSERT_TRUE(cupsd_->addQueue("Site", "socket://127.0.0.3:9100", kPpd));
    int job = command("Site");
    ASSERT_EQ(finished(job), IPP_JSTATE_COMPLETED) << cupsd_->errorLog();
    EXPECT_EQ(queue("Site")["marker-levels"], "70,60,50,40") << cupsd_->errorLog();

    chmod(conf.c_str(), 0644);
    job = command("Site");
    finished(job);
    EXPECT_NE(cupsd_->errorLog().find("] levelwatch-command: " + conf + " can be read by other users"),
              std::string::npos)
        << cupsd_->errorLog();
}
