# The layer check over a small tree of its own: which includes break a folder's rule in each
# include form, and which window files count as holding SQL text.
#   cmake -DWORK_DIR=<empty folder> -P tests/cmake/LayerRulesTest.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/KelvarLayers.cmake)

set(root "${WORK_DIR}/tree")
file(REMOVE_RECURSE "${root}")

function(source path text)
  file(WRITE "${root}/${path}" "${text}\n")
endfunction()
source(foundation/Base.h [=[#pragma once]=])
source(audio/nodes/Node.h [=[#pragma once]=])
source(core/playlist/Ops.h [=[#include "foundation/Base.h"]=])
source(media/Song.h [=[#pragma once]=])
source(core/Door.h [=[#pragma once]=])
source(core/Object.h [=[#pragma once]=])
source(gui/a/Win.cpp [=[#include <audio/nodes/Node.h>
#include "core/playlist/Ops.h"
#include <QWidget>
#include "media/Song.h"]=])
source(gui/a/Win.h [=[  #  include "audio/nodes/Node.h"]=])
# One header of a folder is allowed, its neighbour is not.
source(gui/a/Door.cpp [=[#include "core/Door.h"
#include <core/Object.h>]=])
source(gui/a/Menu.cpp [=[const char* text = "Select all"; // SELECT * FROM nothing, in a comment
const char* more = "a" "b"; // "SELECT" alone]=])
source(gui/a/Query.cpp [=[auto rows = Run(Text("x"), "SELECT songlist.* FROM songlist");]=])
source(gui/a/Split.cpp [=[Run("DELETE " "FROM historylist");]=])
source(gui/a/Update.cpp [=[Run("UPDATE songlist SET weight = 1");]=])
source(controls/tools/Gallery.cpp [=[#include "gui/a/Win.h"]=])
source(media/Reader.cpp [=[#include "../gui/a/Win.h"
#include "Song.h"]=])
source(tools/Render.cpp [=[#include "common/Kit.h"
#include <taglib/tag.h>]=])
source(tests/common/Kit.h [=[#pragma once]=])
source(tests/media/fuzz/Seeds.cpp [=[#include "../Fixtures.h"
#include "gui/a/Win.h"]=])
source(tests/media/Fixtures.h [=[#pragma once]=])
source(setup/extra/Tool.cpp [=[int main() {}]=])

kelvar_layer_rule(foundation)
kelvar_layer_rule(audio/nodes foundation)
kelvar_layer_rule(media foundation)
kelvar_layer_rule(core/playlist foundation)
kelvar_layer_rule(core foundation)
kelvar_layer_rule(gui/a foundation core/playlist media/Song.h core/Door.h)
kelvar_layer_rule(controls/tools foundation)
kelvar_layer_rule(tools foundation tests/common)
kelvar_layer_rule(tests/* *)

_kelvar_layer_breaches("${root}" breaches)
set(expected
    "controls/tools/Gallery.cpp|gui/a/Win.h"
    "gui/a/Door.cpp|core/Object.h"
    "gui/a/Win.cpp|audio/nodes/Node.h"
    "gui/a/Win.h|audio/nodes/Node.h"
    "media/Reader.cpp|gui/a/Win.h"
    "setup/extra/Tool.cpp|(no rule for setup/extra)")
if(NOT breaches STREQUAL expected)
  string(REPLACE ";" "\n  " got "${breaches}")
  message(FATAL_ERROR "layer breaches:\n  ${got}")
endif()

_kelvar_sql_files("${root}" sql)
set(expected_sql gui/a/Query.cpp gui/a/Split.cpp gui/a/Update.cpp)
if(NOT sql STREQUAL expected_sql)
  message(FATAL_ERROR "files with SQL text: ${sql}")
endif()
