// The clipped-caption search: each kind of caption is reported when its widget is one pixel too
// narrow and passes when it fits; data marked as allowed to clip is skipped.
#include "QtApp.h"
#include "controls/CaptionFit.h"
#include "controls/KcFonts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTableView>

#include <gtest/gtest.h>

#include <functional>

namespace kelvar {
namespace {

// Finds the narrowest width at which the widget's caption is not reported.
int NarrowestFit(QWidget& Root, QWidget& Sized, int Height) {
    for (int W = 1; W < 600; ++W) {
        Sized.resize(W, Height);
        if (FindClippedCaptions(Root).empty()) return W;
    }
    return -1;
}

TEST(CaptionFit, EachKindIsReportedOnlyWhenTooNarrow) {
    const QString Caption = "Maximum gain";
    const int TextWidth = QFontMetrics(DialogFont()).horizontalAdvance(Caption);
    struct TCase {
        const char* Kind;
        std::function<QWidget*(QWidget*)> Make;
    };
    const std::vector<TCase> Cases = {
        {"label", [&](QWidget* P) { return new QLabel(Caption, P); }},
        {"button", [&](QWidget* P) { return new QPushButton(Caption, P); }},
        {"check box", [&](QWidget* P) { return new QCheckBox(Caption, P); }},
        {"radio button", [&](QWidget* P) { return new QRadioButton(Caption, P); }},
        {"group box", [&](QWidget* P) { return new QGroupBox(Caption, P); }},
    };
    for (const TCase& C : Cases) {
        QWidget Root;
        Root.setFont(DialogFont());
        Root.resize(600, 100);
        QWidget* W = C.Make(&Root);
        Root.show();
        const int Fit = NarrowestFit(Root, *W, 24);
        // A label needs exactly its text; the others add their frame, box or indicator.
        EXPECT_GE(Fit, TextWidth) << C.Kind;
        EXPECT_LT(Fit, TextWidth + 40) << C.Kind;
        W->resize(Fit - 1, 24);
        const std::vector<TClippedCaption> Found = FindClippedCaptions(Root);
        ASSERT_EQ(Found.size(), 1u) << C.Kind;
        EXPECT_EQ(Found[0].Text, Caption.toStdString());
        EXPECT_EQ(Found[0].TextWidth, TextWidth) << C.Kind;
        EXPECT_LT(Found[0].Room, Found[0].TextWidth);
    }
}

TEST(CaptionFit, MnemonicsHiddenWidgetsAndAllowedClippingAreNotCounted) {
    QWidget Root;
    Root.setFont(DialogFont());
    auto* Button = new QPushButton("Browse", &Root);
    Root.show();
    const int Fit = NarrowestFit(Root, *Button, 24);
    Button->setText("&Browse");
    EXPECT_TRUE(FindClippedCaptions(Root).empty()) << "the ampersand takes no room";

    auto* Title = new QLabel("A song title longer than its place", &Root);
    Title->resize(40, 16);
    Title->show();
    EXPECT_EQ(FindClippedCaptions(Root).size(), 1u);
    AllowClipping(*Title);
    EXPECT_TRUE(FindClippedCaptions(Root).empty());
    Button->resize(Fit - 8, 24);
    Button->hide();
    EXPECT_TRUE(FindClippedCaptions(Root).empty()) << "a hidden widget shows nothing";
}

TEST(CaptionFit, HeaderSectionsAndTabs) {
    QTableView View;
    View.setFont(DialogFont());
    QStandardItemModel Model(1, 2);
    Model.setHorizontalHeaderLabels({"Duration", "Artist"});
    View.setModel(&Model);
    View.horizontalHeader()->setStretchLastSection(false);
    View.resize(400, 200);
    View.show();
    View.setColumnWidth(0, 20);
    View.setColumnWidth(1, 200);
    std::vector<TClippedCaption> Found = FindClippedCaptions(View);
    ASSERT_EQ(Found.size(), 1u);
    EXPECT_EQ(Found[0].Text, "Duration");
    View.setColumnWidth(0, 80);
    EXPECT_TRUE(FindClippedCaptions(View).empty());

    QTabBar Tabs;
    Tabs.setFont(DialogFont());
    Tabs.addTab("Multiband");
    Tabs.show();
    EXPECT_TRUE(FindClippedCaptions(Tabs).empty()) << "a tab sized by its text fits";
}

}  // namespace
}  // namespace kelvar
