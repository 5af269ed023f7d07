// The SNMPv3 status query against Net-SNMP's snmpd (USM user with MD5 and
// DES) and against a scripted agent for faults, inside the private network
// namespace; and levelwatch end to end on socket:// and ipp://[::1] queues
// whose printer answers SNMPv3 only.
#include "V3Messages.h"

#include "snmp/NetIO.h"

#include "Peers.h"
#include "ExpectedReport.h"
#include "SnmpTestData.h"
#include "UdpResponder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace lwtest;
using namespace v3test;

namespace {

const std::string kUser = LEVELWATCH_SNMPV3_USER;
const std::string kAuth = LEVELWATCH_SNMPV3_AUTH_PASS;
const std::string kPriv = LEVELWATCH_SNMPV3_PRIV_PASS;
const std::string kEngineHex = "80000CF1030011223344";
const Bytes kEngine = {0x80, 0x00, 0x0C, 0xF1, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44};

SnmpdConfig v3Agent(const std::vector<unsigned char>& block, const std::string& engineHex = kEngineHex,
                    const std::string& auth = kAuth, const std::string& priv = kPriv)
{
    SnmpdConfig c;
    c.listen = {"udp:127.0.0.2:161", "udp6:[::1]:161"};
    c.community = ""; // no v1 access: the chain must fall through to SNMPv3
    c.deviceId = deviceIdWithStatus(block);
    c.v3User = kUser;
    c.v3AuthPass = auth;
    c.v3PrivPass = priv;
    c.engineIdHex = engineHex;
    return c;
}

bool sameBlock(const PRINTER_STATUS& record, const std::vector<unsigned char>& block)
{
    return std::memcmp(record.bytes, block.data(), sizeof record.bytes) == 0;
}

class SnmpV3Peer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
    }
};

} // namespace

TEST_F(SnmpV3Peer, RealAgentAnswersOverIpv4AndIpv6)
{
    const auto block = statusBlock(90, 45, 12, 0x80 | 100);
    Snmpd agent(v3Agent(block));
    ASSERT_TRUE(agent.ok()) << agent.log();

    PRINTER_STATUS record{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(NetworkReadStatusSNMPv3("tundra", "127.0.0.2", &record)) << agent.log();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(sameBlock(record, block));
    // Both receive loops wait out their 1-second window after the answer.
    EXPECT_GE(seconds, 1.95);
    EXPECT_LT(seconds, 4.0);

    // The numeric IPv6 text given to the IPv4 entry goes to the IPv6 query.
    PRINTER_STATUS record6{};
    EXPECT_TRUE(NetworkReadStatusSNMPv3("tundra", "::1", &record6));
    EXPECT_TRUE(sameBlock(record6, block));
}

TEST_F(SnmpV3Peer, AgentOfAnotherEnterpriseOrWithOtherPassPhrasesGivesNothing)
{
    const auto block = statusBlock(1, 2, 3, 4);
    {
        Snmpd other(v3Agent(block, "80001F8803001122334455"));
        ASSERT_TRUE(other.ok()) << other.log();
        PRINTER_STATUS record{};
        EXPECT_FALSE(NetworkReadStatusSNMPv3("tundra", "127.0.0.2", &record));
    }
    {
        Snmpd wrongKeys(v3Agent(block, kEngineHex, "another-auth-phrase", "another-priv-phrase"));
        ASSERT_TRUE(wrongKeys.ok()) << wrongKeys.log();
        PRINTER_STATUS record{};
        EXPECT_FALSE(NetworkReadStatusSNMPv3("tundra", "127.0.0.2", &record));
    }
}

// ---- levelwatch end to end ----

class LevelwatchSnmpV3 : public SnmpV3Peer {
protected:
    void SetUp() override
    {
        SnmpV3Peer::SetUp();
        if (IsSkipped())
            return;
        cupsd_ = std::make_unique<PrivateCupsd>();
        ASSERT_TRUE(cupsd_->ok()) << cupsd_->errorLog();
    }

    ProcessResult levelwatch(const std::string& queue)
    {
        Env env = cupsd_->env();
        env.emplace_back("LANG", "C");
        return runProcess({LEVELWATCH_BIN, queue}, env, 60000);
    }

    std::unique_ptr<PrivateCupsd> cupsd_;
};

TEST_F(LevelwatchSnmpV3, ReportsLevelsOfAnSnmpV3OnlyPrinterOnSocketAndIppQueues)
{
    const auto block = statusBlock(77, 0, 100, 33);
    Snmpd agent(v3Agent(block));
    ASSERT_TRUE(agent.ok()) << agent.log();
    ASSERT_TRUE(cupsd_->addQueue("V3Socket", "socket://127.0.0.2:9100"));
    ASSERT_TRUE(cupsd_->addQueue("V3Ipp", "ipp://[::1]/ipp/print"));

    ProcessResult r = levelwatch("V3Socket");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, expectedReport(block));

    r = levelwatch("V3Ipp");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, expectedReport(block));
}

TEST_F(LevelwatchSnmpV3, PrinterWithOtherPassPhrasesIsRefused)
{
    Snmpd agent(v3Agent(statusBlock(1, 2, 3, 4), kEngineHex, "another-auth-phrase", "another-priv-phrase"));
    ASSERT_TRUE(agent.ok()) << agent.log();
    ASSERT_TRUE(cupsd_->addQueue("V3Wrong", "socket://127.0.0.2"));
    ProcessResult r = levelwatch("V3Wrong");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");
}

// ---- Scripted agent: faults the real one never makes ----

namespace {

// An agent at 127.0.0.3:161 that answers the probe with `reports` Reports
// and every request with the replies `answer` makes for it.
class ScriptedAgent {
public:
    using AnswerFor = std::function<std::vector<UdpResponder::Reply>(const Request&)>;

    ScriptedAgent(int reports, AnswerFor answer)
        : authKey_(localKey(kAuth, kEngine)), privKey_(localKey(kPriv, kEngine))
    {
        responder_ = std::make_unique<UdpResponder>("127.0.0.3", 161, [this, reports, answer](const Bytes& in) {
            std::vector<UdpResponder::Reply> out;
            const Request request = parseRequest(in, privKey_);
            if (!request.ok)
                return out;
            if ((request.flags & 0x01) == 0) { // the discovery probe
                for (int i = 0; i < reports; ++i) {
                    Answer report;
                    report.msgId = request.msgId;
                    report.engineId = kEngine;
                    report.boots = 3;
                    report.time = 500;
                    report.bindings = {{{0x2B, 6, 1, 6, 3, 15, 1, 1, 4, 0}, 0x41, {0x01}}};
                    out.push_back({i * 50, build(report)});
                }
                return out;
            }
            return answer(request);
        });
    }

    bool ok() const { return responder_->ok(); }
    std::vector<Bytes> requests() const { return responder_->requests(); }

    // A correct, authenticated and encrypted answer to request.
    Bytes response(const Request& request, const std::vector<unsigned char>& block, uint32_t errorStatus = 0,
                   bool noSuchObject = false) const
    {
        Answer a;
        a.msgId = request.msgId;
        a.flags = 0x03;
        a.engineId = kEngine;
        a.boots = 3;
        a.time = 501;
        a.user = kUser;
        a.authKey = authKey_;
        a.privKey = privKey_;
        a.salt = {0, 0, 0, 3, 0x10, 0x20, 0x30, static_cast<unsigned char>(request.requestId)};
        a.pduTag = 0xA2;
        a.requestId = request.requestId;
        a.errorStatus = errorStatus;
        a.errorIndex = errorStatus != 0 ? 1 : 0;
        const std::string text = deviceIdWithStatus(block);
        a.bindings = {{deviceIdOid(), 0x04, Bytes(text.begin(), text.end())}};
        if (noSuchObject)
            a.bindings = {{deviceIdOid(), 0x80, {}}};
        return build(a);
    }

    const Bytes& privKey() const { return privKey_; }

private:
    Bytes authKey_, privKey_;
    std::unique_ptr<UdpResponder> responder_;
};

} // namespace

TEST_F(SnmpV3Peer, ForgedAnswerIsSkippedAndTheGenuineOneLaterInTheWindowTaken)
{
    const auto forgedBlock = statusBlock(1, 1, 1, 1), genuineBlock = statusBlock(60, 61, 62, 63);
    ScriptedAgent* self = nullptr;
    ScriptedAgent agent(1, [&](const Request& r) {
        Bytes forged = self->response(r, forgedBlock);
        // Flip one byte of the code (it follows the user name field).
        const Request parsed = parseRequest(forged);
        forged[parsed.authOffset + 5] ^= 0x40;
        return std::vector<UdpResponder::Reply>{{0, forged}, {300, self->response(r, genuineBlock)}};
    });
    self = &agent;
    ASSERT_TRUE(agent.ok());
    PRINTER_STATUS record{};
    EXPECT_TRUE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
    EXPECT_TRUE(sameBlock(record, genuineBlock));
}

// A later answer in the same window whose status field does not decode
// (here: 50 bytes instead of 108) leaves the levels read before it alone.
TEST_F(SnmpV3Peer, UndecodableLaterAnswerKeepsTheRecordOfTheEarlierOne)
{
    const auto block = statusBlock(81, 82, 83, 84);
    ScriptedAgent* self = nullptr;
    ScriptedAgent agent(1, [&](const Request& r) {
        return std::vector<UdpResponder::Reply>{{0, self->response(r, block)},
                                                {100, self->response(r, std::vector<unsigned char>(50, 0xEE))}};
    });
    self = &agent;
    ASSERT_TRUE(agent.ok());
    PRINTER_STATUS record{};
    EXPECT_TRUE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
    EXPECT_TRUE(sameBlock(record, block));
}

TEST_F(SnmpV3Peer, NoSuchNameAnswerIsSkippedEvenWithAStatusValue)
{
    ScriptedAgent* self = nullptr;
    ScriptedAgent agent(1, [&](const Request& r) {
        return std::vector<UdpResponder::Reply>{{0, self->response(r, statusBlock(9, 9, 9, 9), 2)}};
    });
    self = &agent;
    ASSERT_TRUE(agent.ok());
    PRINTER_STATUS record{};
    EXPECT_FALSE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
}

// An answer without a device-ID text is never decoded from the text of an
// earlier query (another printer's levels).
TEST_F(SnmpV3Peer, AnswerWithoutTextDoesNotReuseTheLastQuerysText)
{
    std::atomic<bool> missing{false};
    ScriptedAgent* self = nullptr;
    ScriptedAgent agent(1, [&](const Request& r) {
        return std::vector<UdpResponder::Reply>{{0, self->response(r, statusBlock(5, 6, 7, 8), 0, missing.load())}};
    });
    self = &agent;
    ASSERT_TRUE(agent.ok());
    PRINTER_STATUS record{};
    ASSERT_TRUE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
    missing = true;
    PRINTER_STATUS second{};
    EXPECT_FALSE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &second));
}

TEST_F(SnmpV3Peer, TwoReportsGetTwoRequestsWithNewMsgIdRequestIdAndSalt)
{
    const auto block = statusBlock(10, 20, 30, 40);
    ScriptedAgent* self = nullptr;
    ScriptedAgent agent(2, [&](const Request& r) {
        return std::vector<UdpResponder::Reply>{{0, self->response(r, block)}};
    });
    self = &agent;
    ASSERT_TRUE(agent.ok());
    PRINTER_STATUS record{};
    EXPECT_TRUE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
    EXPECT_TRUE(sameBlock(record, block));

    const auto sent = agent.requests();
    ASSERT_EQ(sent.size(), 3u); // probe, then one request per Report
    const Request probe = parseRequest(sent[0]);
    const Request first = parseRequest(sent[1], agent.privKey());
    const Request second = parseRequest(sent[2], agent.privKey());
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(probe.flags, 0x04);
    EXPECT_EQ(first.flags, 0x07);
    EXPECT_EQ(first.msgId + 1, second.msgId);
    EXPECT_EQ(first.requestId + 1, second.requestId);
    EXPECT_EQ(probe.msgId + 1, first.msgId);
    EXPECT_EQ(Bytes(first.privParams.begin(), first.privParams.begin() + 4), Bytes({0, 0, 0, 3}));
    EXPECT_NE(first.privParams, second.privParams);
    EXPECT_EQ(first.engineId, kEngine);
    EXPECT_EQ(first.boots, 3u);
    EXPECT_EQ(first.time, 500u);
    EXPECT_EQ(first.user, kUser);
}

TEST_F(SnmpV3Peer, ReportFromAnotherEnterpriseGetsNoRequest)
{
    UdpResponder responder("127.0.0.3", 161, [](const Bytes& in) {
        const Request request = parseRequest(in);
        Answer report;
        report.msgId = request.msgId;
        report.engineId = {0x80, 0x00, 0x1F, 0x88, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44};
        return std::vector<UdpResponder::Reply>{{0, build(report)}};
    });
    ASSERT_TRUE(responder.ok());
    PRINTER_STATUS record{};
    EXPECT_FALSE(NetworkReadStatusSNMPv3("tundra", "127.0.0.3", &record));
    EXPECT_EQ(responder.requestCount(), 1u);
}
