#pragma once
// What the test modules' instances offer the tests.
#include <string>

#include "core/plugins/PluginList.h"

class ITestProbe : public virtual kelvar::IInterface {
public:
    // The instance's number among those its module made (1, 2, ...).
    virtual int Serial() = 0;
    // How often its settings were loaded, and the last "Setting" read.
    virtual int LoadCount() = 0;
    virtual std::string Setting() = 0;
};
