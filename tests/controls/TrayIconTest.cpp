#include "QtApp.h"
#include "controls/KcTrayIcon.h"

#include <gtest/gtest.h>
#include <QMenu>
#include <QPixmap>

namespace kelvar {
namespace {

struct FakeTray : ITrayBackend {
    bool Add(const QIcon&, const QString& Tip) override {
        Calls.push_back("add:" + Tip.toStdString());
        return AcceptAdd;
    }
    bool Modify(const QIcon&, const QString& Tip) override {
        Calls.push_back("modify:" + Tip.toStdString());
        return true;
    }
    void Delete() override { Calls.push_back("delete"); }
    std::vector<std::string> Calls;
    bool AcceptAdd = true;
};

QIcon SomeIcon() {
    QPixmap P(16, 16);
    P.fill(Qt::red);
    return QIcon(P);
}

class KcTrayIconTest : public ::testing::Test {
protected:
    FakeTray* Fake = new FakeTray;
    TKcTrayIcon Tray{std::unique_ptr<ITrayBackend>(Fake)};
};

TEST_F(KcTrayIconTest, IconAppearsOnceItHasAnImageAndTheTipFollowsShowHint) {
    Tray.SetHint("Kelvar");
    Tray.SetVisible(true);
    EXPECT_TRUE(Fake->Calls.empty());  // no icon yet
    Tray.SetIcon(SomeIcon());
    Tray.SetShowHint(true);
    Tray.SetVisible(false);
    EXPECT_EQ(Fake->Calls, (std::vector<std::string>{"add:", "modify:Kelvar", "delete"}));
    EXPECT_FALSE(Tray.Added());
}

TEST_F(KcTrayIconTest, HintKeepsSixtyTwoCharacters) {
    Tray.SetIcon(SomeIcon());
    Tray.SetVisible(true);
    Tray.SetHint(QString(70, 'x'));
    EXPECT_EQ(Tray.Hint().size(), 62);
    const size_t Calls = Fake->Calls.size();
    Tray.SetHint(QString(62, 'x'));
    EXPECT_EQ(Fake->Calls.size(), Calls);
}

TEST_F(KcTrayIconTest, RefusedAddIsTriedAgain) {
    Fake->AcceptAdd = false;
    Tray.SetIcon(SomeIcon());
    Tray.SetVisible(true);
    EXPECT_FALSE(Tray.Added());
    Fake->AcceptAdd = true;
    Tray.SetShowHint(true);
    EXPECT_TRUE(Tray.Added());
    EXPECT_EQ(Fake->Calls, (std::vector<std::string>{"add:", "add:"}));
}

TEST_F(KcTrayIconTest, LeftClickOrderAndLeftButtonPopup) {
    std::vector<std::string> Events;
    Tray.OnMouseDown = [&](TKcTrayIcon&, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        Events.push_back("down");
    };
    Tray.OnMouseUp = [&](TKcTrayIcon&, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { Events.push_back("up"); };
    Tray.OnClick = [&](TKcTrayIcon&) { Events.push_back("click"); };
    QMenu Menu;
    Tray.SetPopupMenu(&Menu);
    Tray.OnShowPopup = [&](QMenu&, const QPoint&) { Events.push_back("popup"); };
    Tray.HandleMouse(TTrayMouse::LeftDown, QPoint(1, 1));
    Tray.HandleMouse(TTrayMouse::LeftUp, QPoint(1, 1));
    EXPECT_EQ(Events, (std::vector<std::string>{"down", "click", "up"}));
    Events.clear();
    Tray.SetLeftBtnPopup(true);
    Tray.HandleMouse(TTrayMouse::LeftDown, QPoint(1, 1));
    Tray.HandleMouse(TTrayMouse::LeftUp, QPoint(1, 1));
    EXPECT_EQ(Events, (std::vector<std::string>{"down", "popup", "up"}));
    Events.clear();
    Tray.SetEnabled(false);
    Tray.HandleMouse(TTrayMouse::RightDown, QPoint(1, 1));
    EXPECT_TRUE(Events.empty());
}

}  // namespace
}  // namespace kelvar
