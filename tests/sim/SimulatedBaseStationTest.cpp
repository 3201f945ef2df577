#include "SimulatedBaseStation.h"
#include "FakeDesktop.h"
#include "LogRecord.h"
#include "ModuleCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace std::string_literals;
using namespace z83;
using namespace z83::sim;

namespace {

constexpr std::int32_t kPm = 0x1A2B3C;
constexpr std::int32_t kTx = 0x4D5E6F;

std::string record(std::uint16_t number) {
    LogFields fields;
    fields.logNumber = number;
    fields.start = {5, 30, 14, 21, 6, 24};
    fields.peakValue = 12.5f;
    return encodeLogReply(recordFrom(fields));
}

Scenario twoModules(std::vector<Fault> faults = {}) {
    Scenario s;
    s.modules = {{kPm, "Z83-PM-VX", {record(1), record(2), record(3)}}, {kTx, "Z83-TX-2", {}}};
    s.pairs = kPm;
    s.pairDelaySeconds = 0.0;
    s.faults = std::move(faults);
    return s;
}

// A station with its USB interface open, and the two command calls with the framing the program uses.
struct Station {
    explicit Station(Scenario s) : sim(std::move(s)) { sim.OpenUSB(0, 0); }
    std::int16_t read(char command, std::string& reply, std::int32_t id = kPm) {
        std::uint8_t one = 1, code = static_cast<std::uint8_t>(command);
        reply.clear();
        return sim.ReadCommand(one, id, code, reply);
    }
    std::string read(char command, std::int32_t id = kPm) {
        std::string reply;
        EXPECT_EQ(read(command, reply, id), 0) << command;
        return reply;
    }
    std::int16_t writeRaw(char command, std::string text, std::int32_t id = kPm) {
        std::uint8_t one = 1, code = static_cast<std::uint8_t>(command);
        return sim.WriteCommand(one, id, code, text);
    }
    std::int16_t write(char command, const std::string& value) { return writeRaw(command, value + "\0\0"s); }
    std::uint32_t index() { return *sim.logIndex(kPm); }
    SimulatedBaseStation sim;
};

TEST(StationCommands, IndexIsSetByWriteAndAdvancedByEachRecordRead) {
    Station st(twoModules());
    EXPECT_EQ(st.read('3'), "Z83-PM-VX");
    EXPECT_EQ(st.read('3', kTx), "Z83-TX-2");
    EXPECT_EQ(st.read('T'), "3");
    EXPECT_EQ(st.read('T', kTx), "0");
    ASSERT_EQ(st.write('S', "2"), 0);
    EXPECT_EQ(st.read('U'), record(2));
    EXPECT_EQ(st.read('U'), record(3));
    std::string reply;
    EXPECT_NE(st.read('U', reply), 0); // past the last log
    EXPECT_EQ(st.index(), 4u);
    EXPECT_EQ(st.write('S', "0001"), 0);
    EXPECT_EQ(st.read('U'), record(1));
    EXPECT_EQ(st.write('S', "65535"), 0); // past the end is allowed for a write
}

TEST(StationCommands, RefusedCommandsFailAndChangeNothing) {
    Station st(twoModules());
    ASSERT_EQ(st.write('S', "2"), 0);
    for (const std::string& bad : {"0"s, "65536"s, "99999999999"s, "-1"s, "+1"s, "1a"s, " 1"s, ""s})
        EXPECT_NE(st.write('S', bad), 0) << bad;
    EXPECT_NE(st.writeRaw('S', "123"), 0);      // no NUL framing
    EXPECT_NE(st.writeRaw('S', "1\0"s), 0);     // only one NUL
    EXPECT_NE(st.writeRaw('S', "1\0\0\0"s), 0); // a NUL inside the value
    EXPECT_NE(st.write('W', "23131"), 0);
    EXPECT_EQ(st.index(), 2u);
    EXPECT_EQ(st.sim.module(kPm)->records.size(), 3u);

    std::string reply = "untouched";
    EXPECT_NE(st.read('U', reply, 0x123456), 0); // no module with that ID
    EXPECT_NE(st.read('X', reply), 0);
    EXPECT_NE(st.read('S', reply), 0); // write-only parameter
    EXPECT_NE(st.write('U', "1"), 0);  // read-only parameter
    EXPECT_NE(st.write('X', "1"), 0);
    EXPECT_EQ(st.index(), 2u);
}

TEST(StationCommands, ClearCodeErasesTheLogs) {
    Station st(twoModules());
    test::FakeDesktop desktop;
    std::int32_t id = kPm;
    std::uint8_t clear = Cmd::ClearLog;
    ASSERT_TRUE(MWrite(st.sim, desktop, id, clear, kClearLogCode, "ClearLog"));
    const Call& call = st.sim.calls().back();
    EXPECT_EQ(call.operation + call.command + std::to_string(call.id), "WriteCommandW" + std::to_string(kPm));
    EXPECT_EQ(call.value, "23130\0\0"s); // as it arrived
    EXPECT_EQ(st.sim.calls().front().operation, "OpenUSB");
    EXPECT_TRUE(st.sim.module(kPm)->records.empty());
    EXPECT_EQ(st.read('T'), "0");
    EXPECT_EQ(st.write('S', "1"), 0); // as the program does before reading the count
    std::string reply;
    const auto recorded = st.sim.calls().size();
    st.sim.recordCalls(false);
    EXPECT_NE(st.read('U', reply), 0);
    EXPECT_EQ(st.sim.calls().size(), recorded);
}

TEST(StationLink, CommandsNeedAnOpenInterfaceAndABaseStation) {
    Scenario s = twoModules();
    Station closed(s);
    closed.sim.CloseUSB();
    closed.sim.CloseUSB(); // twice is harmless
    std::string reply;
    EXPECT_NE(closed.read('T', reply), 0);
    EXPECT_EQ(closed.sim.OpenUSB(0, 0), 0);
    EXPECT_EQ(closed.read('T', reply), 0);

    s.basePresent = false;
    Station absent(s);
    EXPECT_EQ(absent.sim.DetectBase(1), 0);
    EXPECT_NE(absent.read('T', reply), 0);
    EXPECT_NE(absent.write('S', "1"), 0);
    std::int32_t paired = -1, second = -1;
    absent.sim.PairModule(1, 1, 10, paired, second);
    EXPECT_EQ(paired, 0);
}

TEST(StationLink, OpenAndProbeLeaveTheScenarioErrors) {
    Scenario s = twoModules();
    s.openStatus = 7;
    s.openError = {-2147023729, "Device not ready"};
    s.probeError = {429, "Cannot create object"};
    SimulatedBaseStation sim(s);
    sim.ProbeProvider();
    EXPECT_EQ(sim.currentError().number, 429);
    EXPECT_EQ(sim.OpenUSB(0, 0), 7);
    EXPECT_EQ(sim.currentError().description, "Device not ready");
    EXPECT_FALSE(sim.usbOpen());

    SimulatedBaseStation clean(twoModules({{"ProbeProvider", FaultKind::Status, 1, 1}}));
    clean.ProbeProvider();
    EXPECT_EQ(clean.currentError().number, Fault{}.errorNumber);
    EXPECT_EQ(clean.OpenUSB(0, 0), 0);
    EXPECT_EQ(clean.currentError().number, 0); // the stale error is gone
}

TEST(StationFaults, WindowCoversOccurrencesStartToStartPlusCount) {
    Station st(twoModules({{"T", FaultKind::Status, 2, 2, 9}, {"T", FaultKind::Status, 5, 0, 8}}));
    std::vector<std::int16_t> statuses;
    std::string reply;
    for (int i = 0; i < 7; ++i)
        statuses.push_back(st.read('T', reply, i % 2 ? kPm : kTx)); // counted whatever the module
    EXPECT_EQ(statuses, (std::vector<std::int16_t>{0, 9, 9, 0, 8, 8, 8}));
}

TEST(StationFaults, ReplyFaultsSpoilOneRecordRead) {
    using Fits = bool (*)(const std::string&);
    const std::tuple<FaultKind, std::uint32_t, Fits> cases[] = {
        {FaultKind::WrongLength, 1, [](const std::string& r) { return r == record(1).substr(0, 55); }},
        {FaultKind::NulPadding, 2, [](const std::string& r) { return r.size() > 56 && r.find('\0') == 56; }},
        {FaultKind::OnlyNuls, 1, [](const std::string& r) { return r == std::string(56, '\0'); }},
        {FaultKind::HugeReply, 1, [](const std::string& r) { return r.size() == 1'000'000; }},
        {FaultKind::BadCrc, 2,
         [](const std::string& r) {
             return r.size() == 56 && !crcMatches(decodeLogReply(r)) &&
                    fieldsOf(decodeLogReply(r)).logNumber == 1;
         }},
        {FaultKind::SkipRecord, 3, [](const std::string& r) { return r == record(2); }},
    };
    for (const auto& [kind, indexAfter, fits] : cases) {
        Station st(twoModules({{"U", kind, 1, 1}}));
        EXPECT_TRUE(fits(st.read('U'))) << static_cast<int>(kind);
        EXPECT_EQ(st.index(), indexAfter) << static_cast<int>(kind);
        EXPECT_EQ(st.read('U'), record(indexAfter)); // the next read is clean
    }
}

TEST(StationFaults, FailedOrRaisedCallsChangeNothing) {
    Fault raise{"U", FaultKind::Raise, 1, 1};
    raise.errorNumber = -2147467259;
    raise.errorDescription = "Radio link lost";
    Station st(twoModules({raise, {"W", FaultKind::Raise, 1, 0}, {"U", FaultKind::Status, 2, 1}}));
    std::string reply;
    try {
        st.read('U', reply);
        ADD_FAILURE() << "no error raised";
    } catch (const ProviderError& e) {
        EXPECT_EQ(std::to_string(e.number()) + " " + e.description(), "-2147467259 Radio link lost");
    }
    EXPECT_EQ(st.index(), 1u);
    EXPECT_NE(st.read('U', reply), 0);
    EXPECT_EQ(st.index(), 1u);
    EXPECT_THROW(st.write('W', "23130"), ProviderError);
    EXPECT_EQ(st.sim.module(kPm)->records.size(), 3u);

    ASSERT_EQ(st.write('S', "3"), 0);
    st.sim.addFault({"U", FaultKind::SkipRecord, 1, 0});
    EXPECT_NE(st.read('U', reply), 0); // the skipped-to record does not exist
    EXPECT_EQ(st.index(), 3u);
}

TEST(StationFaults, OperationFaultsAndRejectedCombinations) {
    Station st(twoModules({{"DetectBase", FaultKind::Status, 1, 1},
                           {"PairModule", FaultKind::Status, 1, 1},
                           {"OpenUSB", FaultKind::Status, 2, 1, 5},
                           {"CloseUSB", FaultKind::Raise, 1, 1}}));
    EXPECT_EQ(st.sim.DetectBase(1), 0);
    EXPECT_EQ(st.sim.DetectBase(1), 1);
    std::int32_t id = -1, second = 0;
    st.sim.PairModule(1, 1, 10, id, second);
    EXPECT_EQ(id, 0);
    st.sim.PairModule(1, 1, 10, id, second);
    EXPECT_EQ(id, kPm);
    EXPECT_EQ(st.sim.OpenUSB(0, 0), 5);
    EXPECT_FALSE(st.sim.usbOpen());
    EXPECT_THROW(st.sim.CloseUSB(), ProviderError);

    for (const Fault& bad : {Fault{"T", FaultKind::BadCrc}, Fault{"S", FaultKind::WrongLength},
                             Fault{"CloseUSB", FaultKind::Status}, Fault{"OpenUsb", FaultKind::Raise},
                             Fault{"U", FaultKind::Status, 0}})
        EXPECT_THROW(SimulatedBaseStation(twoModules({bad})), std::invalid_argument) << bad.target;
}

TEST(StationPairing, DesignatedModulePairsOnlyWithinThePairingTime) {
    Scenario s = twoModules();
    s.pairDelaySeconds = 0.01;
    SimulatedBaseStation sim(s);
    sim.OpenUSB(0, 0);
    std::int32_t id = -1, second = -1;
    sim.PairModule(1, 1, 10, id, second);
    EXPECT_EQ(id, kPm);
    sim.PairModule(1, 1, 0, id, second); // the power-cycle takes longer than pairing lasts
    EXPECT_EQ(id, 0);
}

TEST(DemoScenario, HoldsTwentyFiveGoodLogsAndAModuleOfAnotherModel) {
    Station st(demoScenario());
    EXPECT_EQ(st.read('3'), "Z83-PM-VX");
    ASSERT_EQ(st.read('T'), "25");
    for (std::uint16_t n = 1; n <= 25; ++n) {
        LogRecord r = decodeLogReply(st.read('U'));
        EXPECT_TRUE(crcMatches(r) && fieldsOf(r).logNumber == n) << n;
    }
    EXPECT_NE(st.read('3', kTx), "Z83-PM-VX");
    EXPECT_EQ(st.sim.scenario().pairs, kPm);
}

} // namespace
