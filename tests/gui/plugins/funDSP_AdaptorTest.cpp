#include <dlfcn.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>
#include <filesystem>

#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "core/plugins/DSP_Adaptor.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/plugins/funDSP_Adaptor.h"

using namespace kelvar;
using guitest::WhenModal;
namespace fs = std::filesystem;

namespace {

int Counter(const std::string& file, const char* name) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return -1;
    const int value = *static_cast<int*>(dlsym(handle, name));
    dlclose(handle);
    return value;
}

class DSPAdaptorFrame : public guitest::GuiTest {
protected:
    void SetUp() override {
        static int serial = 0;
        folder = fs::temp_directory_path() /
                 ("kelvar-gui-plugins-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(folder);
        file = (folder / "dsp_test.so").string();
        fs::copy_file(fs::path(KELVAR_TEST_MODULE_DIR) / "dsp_test.so", file);
        RegisterDSPAdaptorConfig();
        SetDSPAdaptorWarning([this](QWidget*, const QString& text) { warnings << text; });
    }
    void TearDown() override {
        SetDSPAdaptorConfigInfo(nullptr);
        SetDSPAdaptorWarning(nullptr);
        fs::remove_all(folder);
    }
    static QComboBox* List(QDialog& dialog) { return dialog.findChild<QComboBox*>("eModule"); }
    static QAbstractButton* Button(QDialog& dialog, const char* name) {
        return dialog.findChild<QAbstractButton*>(name);
    }

    fs::path folder;
    std::string file;
    QStringList warnings;
};

}  // namespace

TEST_F(DSPAdaptorFrame, ChoosesTheModuleAndRunsTheModulesOwnDialogs) {
    TDSP_Adaptor adaptor(file);
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteInteger("Module", 1);
    WhenModal([this](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Winamp DSP plugin adaptor");
        EXPECT_EQ(GetDSPAdaptorName(), "Adaptor: Test DSP library");
        QComboBox* list = List(dialog);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->itemText(0), "Halve");
        EXPECT_EQ(list->itemText(2), "Greedy");
        EXPECT_EQ(list->currentIndex(), 1);  // from "Module"
        EXPECT_EQ(Button(dialog, "btConfig")->text(), "Configure");

        Button(dialog, "btConfig")->click();  // module 1's dialog throws
        EXPECT_EQ(warnings, QStringList{"Error occured while trying to configure plugin"});
        list->setCurrentIndex(2);
        Button(dialog, "btConfig")->click();
        EXPECT_EQ(Counter(file, "DspTestConfigs"), 2);
        EXPECT_EQ(Counter(file, "DspTestQuits"), 0);  // the dialogs start and stop no module
        EXPECT_EQ(Counter(file, "DspTestInits"), 1);
        QTest::mouseClick(dialog.findChild<TFxFancyButton*>("btOK"), Qt::LeftButton);
    });
    EXPECT_TRUE(adaptor.Configure(*doc));
    EXPECT_EQ(doc->ReadInteger("Module", -1), 2);
    EXPECT_FALSE(adaptor.GetActive());
    EXPECT_EQ(adaptor.GetModuleIndex(), 0);  // taken up at the next configuration load
    adaptor.LoadConfig(*doc);
    EXPECT_EQ(adaptor.GetModuleIndex(), 2);
}

TEST_F(DSPAdaptorFrame, ALibraryThatCannotLoadShowsAnEmptyListAndKeepsTheSetting) {
    TDSP_Adaptor adaptor((folder / "dsp_gone.so").string());
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteInteger("Module", 4);
    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(List(dialog)->count(), 0);
        Button(dialog, "btConfig")->click();
        QTest::mouseClick(dialog.findChild<TFxFancyButton*>("btOK"), Qt::LeftButton);
    });
    EXPECT_TRUE(adaptor.Configure(*doc));
    EXPECT_EQ(doc->ReadInteger("Module", -1), 4);
    EXPECT_TRUE(warnings.isEmpty());
}
