#pragma once
// The first-run imports live with the first-run wizard, which runs them too.
#include "gui/tools/FirstRunImport.h"
