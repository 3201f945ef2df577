// The cost of one link call under Wine, four ways: straight into the simulator; IDispatch::Invoke on the
// test station with arguments prepared once (what COM and the station cost); and through the adapter, as
// the program calls, with the contract's types and with the station's type library. The call is
// ReadCommand of the model, which changes nothing on the module. Needs the test station registered.
// Usage: com_call_bench.exe [calls per run]
#include "com/ComProvider.h"
#include "com/Variant.h"
#include "link/Wire.h"
#include "sim/SimulatedBaseStation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace z83;

namespace {

constexpr std::int32_t kDemoModule = 0x1A2B3C;
constexpr int kRuns = 7;

// Nanoseconds per call of one run.
double oneRun(int calls, const std::function<void()>& call) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        call();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / calls;
}

std::function<void()> readModel(DataProvider& provider) {
    provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond);
    return [&provider] {
        std::uint8_t one = Arg::CommandFirst, command = Cmd::Model;
        std::int32_t id = kDemoModule;
        std::string reply;
        if (provider.ReadCommand(one, id, command, reply) != 0)
            std::abort();
    };
}

// Invoke with the arguments built once, as a caller that knows the station's declared types would.
class RawInvoke {
public:
    explicit RawInvoke(IDispatch& station) : station_(station) {
        LPOLESTR name[] = {const_cast<LPOLESTR>(L"ReadCommand")};
        station.GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &readCommand_);
        for (auto& argument : arguments_)
            ::VariantInit(&argument);
        V_VT(&arguments_[3]) = VT_BYREF | VT_UI1;
        V_UI1REF(&arguments_[3]) = &one_;
        V_VT(&arguments_[2]) = VT_BYREF | VT_I4;
        V_I4REF(&arguments_[2]) = &id_;
        V_VT(&arguments_[1]) = VT_BYREF | VT_UI1;
        V_UI1REF(&arguments_[1]) = &command_;
        V_VT(&arguments_[0]) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&arguments_[0]) = &text_;
    }
    ~RawInvoke() { ::SysFreeString(text_); }
    void operator()() {
        DISPPARAMS parameters{arguments_, nullptr, 4, 0};
        win::Variant status;
        if (FAILED(station_.Invoke(readCommand_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                   &status.v, nullptr, nullptr)))
            std::abort();
    }

private:
    IDispatch& station_;
    DISPID readCommand_ = DISPID_UNKNOWN;
    BYTE one_ = 1, command_ = Cmd::Model;
    LONG id_ = kDemoModule;
    BSTR text_ = ::SysAllocString(L"");
    VARIANTARG arguments_[4];
};

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;

    sim::SimulatedBaseStation simulator(sim::demoScenario());
    ::SetEnvironmentVariableW(L"Z83_TEST_STATION_TYPES", L"none");
    win::ComProvider contractTypes("Z83TestStation.Station");
    win::ComProvider rawStation("Z83TestStation.Station");
    ::SetEnvironmentVariableW(L"Z83_TEST_STATION_TYPES", nullptr);
    win::ComProvider declaredTypes("Z83TestStation.Station");
    for (const auto* provider : {&contractTypes, &rawStation, &declaredTypes})
        if (provider->unusable()) {
            std::fprintf(stderr, "The test station cannot be used: %s\n",
                         provider->unusable()->description.c_str());
            return 1;
        }
    rawStation.OpenUSB(Arg::OpenFirst, Arg::OpenSecond);
    RawInvoke raw(*rawStation.instance());

    const struct {
        const char* what;
        std::function<void()> call;
    } ways[] = {
        {"simulator, called directly", readModel(simulator)},
        {"IDispatch::Invoke on the test station", [&raw] { raw(); }},
        {"COM adapter, the contract's types", readModel(contractTypes)},
        {"COM adapter, types from the type library", readModel(declaredTypes)},
    };
    // The ways take turns, so that whatever the process does over time falls on each alike.
    std::vector<std::vector<double>> runs(std::size(ways));
    for (int run = 0; run < kRuns; ++run)
        for (std::size_t w = 0; w < std::size(ways); ++w)
            runs[w].push_back(oneRun(calls, ways[w].call));
    std::vector<double> median;
    for (auto& samples : runs) {
        std::sort(samples.begin(), samples.end());
        median.push_back(samples[samples.size() / 2]);
    }

    std::printf("ReadCommand of the model, nanoseconds per call (median of %d runs of %d calls)\n", kRuns,
                calls);
    for (std::size_t w = 0; w < std::size(ways); ++w)
        std::printf("  %-44s %8.0f\n", ways[w].what, median[w]);
    std::printf("  %-44s %8.0f\n", "the adapter's own share (adapter - Invoke)", median[2] - median[1]);
    std::printf("  %-44s %8.0f\n", "through COM over a direct call", median[2] - median[0]);
    return 0;
}
