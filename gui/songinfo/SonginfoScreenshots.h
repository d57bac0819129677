#pragma once
// The song information editor, apply to album and album lookup as the screenshot command draws
// them.
namespace kelvar {

void RegisterSonginfoScreenshots();

}  // namespace kelvar
