#pragma once
// A plug-in whose settings the operator edits in a dialog.
#include <memory>

#include "core/plugins/PluginList.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class IPluginConfig : public virtual IInterface {
public:
    // Shows the settings of Node; true when the operator confirmed with OK (Node then holds the
    // new settings), false with Node untouched.
    virtual bool Configure(IConfigDoc& Node) = 0;
};
using IPluginConfigPtr = std::shared_ptr<IPluginConfig>;

}  // namespace kelvar
