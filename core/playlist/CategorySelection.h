#pragma once
// Choosing one song of a category or folder for the clockwheel rotation: the candidates are the
// available songs that pass the rotation rules, ordered by the selection method.
#include <string>

#include "database/SQLPool.h"
#include "media/SongInfo.h"

namespace kelvar {

class IPlaylistRules;

enum TSelectionMethod : int {
    smWeighted = 0,
    smPriority = 1,
    smRandom = 2,
    smMRP = 3,
    smLRP = 4,
    smMRPA = 5,
    smLRPA = 6,
    smShuffleLogic = 7,
};

// The pieces of a selection statement.
struct TSelection {
    int Method = smWeighted;
    std::string Fields;
    std::string From;
    std::string Where;
    std::string OrderBy;
    TVariantArray Values;  // of Where's placeholders, in order
};

// Params: element 0 the method (0 when missing), element 1 whether the rules apply (true when
// missing). Where and Values come in with the category's own condition; the song type (blank:
// none), the rules and the status clause are appended. Fields and From get their defaults.
void PrepareSelection(IPlaylistRules& rules, const TVariantArray& params, char songType, TSelection& selection);
// The first candidate in the method's order, or a random one; empty when there is none.
ISongInfoPtr RunSelection(TSelection selection);

// The order clause of a method; empty for an unknown one.
std::string SelectionOrderBy(int method);
// A song record with every column of the current row under its column name.
ISongInfoPtr SongFromRow(IDataset& row);
// A whole number 0 .. Count-1 (0 when Count is below 1).
int RandomBelow(int count);

}  // namespace kelvar
