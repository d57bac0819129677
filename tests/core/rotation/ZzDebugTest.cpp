#include <gtest/gtest.h>
#include "RotationTestKit.h"
#include "core/playlist/CatDirectory.h"
#include "core/playlist/PlaylistManager.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/Logic_category.h"
namespace kelvar {
using rotationtest::TRotationFixture;
class ZzDebug : public TRotationFixture {};
TEST_F(ZzDebug, X) {
    TPlaylistControl control;
    auto logic = std::make_shared<TplCategoryRotation>();
    control.SetLogic(logic);
    const std::filesystem::path folder = Db->Folder / "music";
    std::filesystem::create_directories(folder / "sub");
    rotationtest::WriteSilentWav((folder / "one.wav").string());
    const std::string dir = folder.string() + "/";
    for (std::string line : {"Dir['" + dir + "'].Rescan;", "Dir['" + dir + "'].QueueBottom(smLRP, EnforceRules);", "SubDir['" + dir + "'].QueueBottom(smLRP, NoRules, Rescan);"}) {
      logic->RotationFormat = {line};
      logic->Position = 0;
      try { logic->ChooseSong(); } catch (std::exception& e) { ADD_FAILURE() << line << " " << e.what(); }
    }
}
}
