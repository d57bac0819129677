// The window registry's base behaviour, the GUI engine's quit and the window host's sizing zones.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "common/GuiTestKit.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/KelvarGui.h"
#include "gui/engine/WindowList_imp.h"
#include "gui/engine/unMDIForm.h"

namespace kelvar {
namespace {

// A window that writes its section into the GUI configuration when it closes.
class TTestItem : public TWindowItem {
public:
    TTestItem(std::string name, std::vector<std::string>* journal)
        : TWindowItem(name, name + " caption", true), FJournal(journal) {}
    void Activate() override {
        TWindowItem::Activate();
        FFrame = std::make_unique<QLabel>("frame");
        FFrame->resize(100, 50);
    }
    void Deactivate() override {
        std::string name;
        GetName(name);
        if (FJournal && IsActive()) FJournal->push_back("close " + name);
        if (GuiConfig) GuiConfig->Section(name)->WriteBool("Closed", true);
        FFrame.reset();
        TWindowItem::Deactivate();
    }
    QWidget* GetFrame() override { return FFrame.get(); }

private:
    std::vector<std::string>* FJournal;
    std::unique_ptr<QLabel> FFrame;
};

TEST(WindowList, ActivationRulesAndRemovalOrder) {
    guitest::EnsureApplication();
    std::vector<std::string> journal;
    TWindowList list;
    auto a = std::make_shared<TTestItem>("A", &journal);
    auto b = std::make_shared<TTestItem>("B", &journal);
    auto c = std::make_shared<TTestItem>("C", &journal);
    list.Add(a);
    list.Add(b);
    list.Add(c);
    ASSERT_EQ(list.Count(), 3);
    IWindowItemPtr got;
    list.Get(1, got);
    EXPECT_EQ(got, b);
    EXPECT_THROW(list.Get(3, got), EListError);
    EXPECT_THROW(list.Get(-1, got), EListError);

    EXPECT_THROW(a->Deactivate(), EWindowItemError);
    a->Activate();
    try {
        a->Activate();
        FAIL();
    } catch (const EWindowItemError& e) {
        EXPECT_STREQ(e.what(), "Window item already active (A)");
    }
    c->Activate();
    list.Remove(a);
    EXPECT_FALSE(a->IsActive());
    EXPECT_EQ(list.Count(), 2);
    list.Clear();  // only C is active
    EXPECT_EQ(journal, (std::vector<std::string>{"close A", "close C"}));
    EXPECT_EQ(list.Count(), 0);
    list.Clear();
    EXPECT_EQ(journal.size(), 2u);
}

TEST(KelvarGui, QuitClosesWindowsAndWritesTheConfiguration) {
    guitest::EnsureApplication();
    const auto dir = std::filesystem::temp_directory_path() / ("kelvar-gui-engine-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = (dir / "Player.gui.xml").string();
    {
        std::ofstream(file) << "<CONFIG><broken";  // unreadable: the engine starts empty
    }
    {
        TKelvarGui gui(file, std::make_unique<THeartBeat>(TickCount, false));
        ASSERT_TRUE(GuiHeartBeat);
        ASSERT_TRUE(GuiConfig);
        auto item = std::make_shared<TTestItem>("Playlist", nullptr);
        GuiWindowList->Add(item);
        item->Activate();
        gui.DoQuit();
        EXPECT_FALSE(item->IsActive());
        EXPECT_TRUE(GuiConfig->Section("Playlist")->ReadBool("Closed", false));
        gui.DoQuit();  // twice is harmless
    }
    EXPECT_EQ(GuiHeartBeat, nullptr);
    EXPECT_EQ(GuiConfig, nullptr);
    EXPECT_TRUE(std::filesystem::exists(file + ".broken"));
    auto saved = TConfigDoc_XML::Create(file);
    EXPECT_TRUE(saved->Section("Playlist")->ReadBool("Closed", false));
    std::filesystem::remove_all(dir);
}

TEST(WindowHost, SizingZones) {
    const int W = 200, H = 200;
    struct Case {
        int X, Y, Zone;
    } cases[] = {
        {3, 3, SizingZone::TopLeft},      {3, 40, SizingZone::Left},           {40, 3, SizingZone::Top},
        {100, 197, SizingZone::Bottom},   {197, 100, SizingZone::Right},       {197, 3, SizingZone::TopRight},
        {3, 197, SizingZone::BottomLeft}, {197, 197, SizingZone::BottomRight}, {100, 100, SizingZone::None},
        {6, 30, SizingZone::Left},        {7, 30, SizingZone::None},
    };
    for (const auto& c : cases) EXPECT_EQ(SizingZoneAt(c.X, c.Y, W, H), c.Zone) << c.X << "," << c.Y;
}

TEST(WindowHost, FixedHostIgnoresBorderAndSizeableHostResizes) {
    guitest::EnsureApplication();
    QWidget area;
    area.resize(800, 600);
    auto* host = new TfoMDIForm(&area);
    auto* frame = new QLabel("deck");
    frame->resize(300, 120);
    host->HostFrame(frame);
    EXPECT_EQ(host->size(), QSize(308, 149));
    host->move(50, 50);
    area.show();
    host->show();

    QTest::mousePress(host, Qt::LeftButton, {}, QPoint(2, 60));
    QTest::mouseMove(host, QPoint(-20, 60));
    QTest::mouseRelease(host, Qt::LeftButton, {}, QPoint(-20, 60));
    EXPECT_EQ(host->size(), QSize(308, 149));

    host->SetSizeable(true);
    QTest::mousePress(host, Qt::LeftButton, {}, QPoint(305, 60));
    QMouseEvent move(QEvent::MouseMove, QPointF(345, 60), host->mapToGlobal(QPointF(345, 60)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(host, &move);
    QTest::mouseRelease(host, Qt::LeftButton, {}, QPoint(345, 60));
    EXPECT_EQ(host->width(), 348);

    bool closed = false;
    host->OnClose = [&](TfoMDIForm& h) {
        closed = true;
        h.ReleaseLater();
    };
    QPointer<TfoMDIForm> guard(host);
    host->CloseClicked();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(guard);  // still alive inside the event: freed later
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(guard);
}

}  // namespace
}  // namespace kelvar
