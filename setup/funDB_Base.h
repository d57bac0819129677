#pragma once
// The settings of one database system as the login page edits them. The page's widgets bind to a
// concrete frame; the install reads it through these hooks, so it runs without any window.
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmDB_Base {
public:
    virtual ~TfrmDB_Base() = default;
    // Puts the database system's default settings into the edits.
    virtual void SetDefaults() {}
    // Fills the edits from a "Database" section.
    virtual void LoadSettings(IConfigDoc&) {}
    // Writes the edits into a "Database" section, in the keys the setup's LoadSettings reads.
    virtual void SaveSettings(IConfigDoc&) {}
    // Whether the edits hold a usable setting.
    virtual bool ValidateSettings() { return true; }
};

}  // namespace kelvar
