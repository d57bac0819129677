#pragma once
// Helpers of the playlist model: display names, times of day, plain-file test, ID lists for IN
// clauses, the sort-position arithmetic of ordered lists and their shuffle.
#include <cstdint>
#include <string>

#include "core/playlist/IntegerList.h"
#include "core/playlist/ProgressHandler.h"
#include "database/SQLPool.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

// "Artist - Title", the title alone when the artist is empty; nothing trimmed.
std::string SongDisplayName(const std::string& artist, const std::string& title);
// The time-of-day part of a date-time in milliseconds.
int64_t TimeOfDayToMs(TDateTime time);
// False for addresses ("://") and CD tracks (".cda", any case).
bool IsPlainFile(const std::string& name);
// "4,17,9"; empty for an empty list.
std::string IntegerListToStr(const TIntegerList& list);
// A text value as a number; 0 when it is empty or not wholly a number.
int32_t TextToIntDef0(const std::string& text);
double TextToFloatDef0(const std::string& text);
// A column of the current row as a number; 0 for NULL.
int32_t FieldInt(IDataset& row, const std::string& name);
double FieldFloat(IDataset& row, const std::string& name);
// Stores a text in a text column of Table, cut (at a character boundary) to the characters the
// column holds, so that an over-long tag value never costs the row. An empty text leaves the
// column as it is.
void SetTextField(IDataset& row, const std::string& table, const std::string& name, const std::string& value);
// The declared length in characters of a text column of the open database; 0 when unknown or
// not a text column. Looked up once per table.
int TextColumnLength(const std::string& table, const std::string& column);
// The local wall-clock time as a date-time, for the dates the database stores.
TDateTime NowDateTime();

// Places Count new rows after the row with sort value After and before the row with Before (0:
// none follows); Greatest is the list's greatest sort value (0 when empty). The new rows take
// After + Step, After + 2 * Step, ...
void SortIDRange(double& after, double& before, double& step, int count, double greatest);
// Gives the rows of an editable result with a sortID column 1000, 2000, ... in random order.
void ShuffleSortIDs(IDataset& rows, const TProgressCallback& callback);

}  // namespace kelvar
