#pragma once
// A clockwheel script exchanged as a text file (extension "cwf"), one script line per text line.
#include <string>

#include "core/plugins/PluginList.h"

namespace kelvar {

class IRotationFormatFile : public virtual IInterface {
public:
    // The file's lines replace the script; the script position stays. Raises when unreadable.
    virtual void LoadFromFile(const std::string& fileName) = 0;
    virtual void SaveToFile(const std::string& fileName) = 0;
};

}  // namespace kelvar
