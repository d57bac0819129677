// A plug-in module for the tests. Built in several kinds from this one source:
// TEST_PACKAGE fills PluginProc from its constructor instead of exporting GetPluginInfo;
// TEST_NO_FILL is a package that fills nothing; TEST_NO_ENTRY exports nothing;
// TEST_NULL_RECORD answers no record; TEST_THROWS throws from its information function.
#include <memory>
#include <stdexcept>

#include "core/plugins/DSPFilter.h"
#include "tests/core/plugins/TestPluginApi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int Created = 0;

class TTestLogic : public ITestProbe, public kelvar::IConfigurable {
public:
    int Serial() override { return FSerial; }
    int LoadCount() override { return FLoads; }
    std::string Setting() override { return FSetting; }
    void LoadConfig(kelvar::IConfigDoc& Section) override {
        ++FLoads;
        FSetting = Section.ReadString("Setting", FSetting);
    }
    void SaveConfig(kelvar::IConfigDoc& Section) override { Section.WriteString("Setting", FSetting + "+saved"); }

private:
    int FSerial = ++Created;
    int FLoads = 0;
    std::string FSetting = "default";
};

void Create(kelvar::IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TTestLogic>(); }

[[maybe_unused]] kelvar::TPluginInfo Info = {"Test logic " TEST_NAME, "A logic\nfor the tests", 0x0123,
                                             "{00000000-0000-0000-0000-" TEST_NAME "}", Create};

[[maybe_unused]] kelvar::TPluginInfo* InfoFunction() {
#if defined(TEST_THROWS)
    throw std::runtime_error("no record today");
#elif defined(TEST_NULL_RECORD)
    return nullptr;
#else
    return &Info;
#endif
}

}  // namespace

#if defined(TEST_PACKAGE) || defined(TEST_NO_FILL)
extern "C" kelvar::TPluginInfoFunc PluginProc __attribute__((weak));
__attribute__((constructor)) static void Register() {
#ifndef TEST_NO_FILL
    if (&PluginProc) PluginProc = InfoFunction;
#endif
}
#elif !defined(TEST_NO_ENTRY)
EXPORT kelvar::TPluginInfo* GetPluginInfo() { return InfoFunction(); }
#endif
