#include "controls/CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"

namespace kelvar {

namespace {

const char* const MayClipProperty = "kelvarMayClip";

// The text as drawn: "&&" is one ampersand, a single "&" marks the mnemonic and takes no room.
QString Shown(const QString& Text) {
    QString Out;
    Out.reserve(Text.size());
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == QLatin1Char('&') && i + 1 < Text.size()) ++i;
        Out += Text[i];
    }
    return Out;
}

int WidestLine(const QFontMetrics& Metrics, const QString& Text) {
    int Widest = 0;
    for (const QString& Line : Text.split(QLatin1Char('\n'))) Widest = qMax(Widest, Metrics.horizontalAdvance(Line));
    return Widest;
}

std::string NameOf(const QWidget& W) {
    std::string Name = W.metaObject()->className();
    if (!W.objectName().isEmpty()) Name += " " + W.objectName().toStdString();
    return Name;
}

class TWalker {
public:
    std::vector<TClippedCaption> Found;

    void Check(const QWidget& W, const QString& Text, int TextWidth, int Room) {
        if (TextWidth > Room) Found.push_back({NameOf(W), Text.toStdString(), TextWidth, Room});
    }

    void Label(const QLabel& L) {
        if (L.wordWrap() || L.text().isEmpty()) return;
        if (L.textFormat() == Qt::RichText || (L.textFormat() == Qt::AutoText && Qt::mightBeRichText(L.text()))) return;
        int Indent = L.indent();
        if (Indent < 0) Indent = L.frameWidth() > 0 ? L.fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
        const int Room = L.contentsRect().width() - 2 * L.margin() - Indent;
        const QString Text = L.buddy() ? Shown(L.text()) : L.text();
        Check(L, L.text(), WidestLine(L.fontMetrics(), Text), Room);
    }

    void Button(const QAbstractButton& B) {
        if (B.text().isEmpty()) return;
        const QString Text = Shown(B.text());
        const int TextWidth = WidestLine(B.fontMetrics(), Text);
        QStyleOptionButton Option;
        Option.initFrom(&B);
        Option.text = B.text();
        Option.icon = B.icon();
        Option.iconSize = B.iconSize();
        int Room = 0;
        if (qobject_cast<const QCheckBox*>(&B)) {
            Room = B.style()->subElementRect(QStyle::SE_CheckBoxContents, &Option, &B).width();
        } else if (qobject_cast<const QRadioButton*>(&B)) {
            Room = B.style()->subElementRect(QStyle::SE_RadioButtonContents, &Option, &B).width();
        } else if (auto* Tool = qobject_cast<const QToolButton*>(&B)) {
            if (Tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !B.icon().isNull()) return;
            Room = B.width() - 4;
            if (!B.icon().isNull() && Tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon)
                Room -= B.iconSize().width() + 4;
        } else {
            Room = B.style()->subElementRect(QStyle::SE_PushButtonContents, &Option, &B).width();
            if (!B.icon().isNull()) Room -= B.iconSize().width() + 4;
            if (auto* Push = qobject_cast<const QPushButton*>(&B); Push && Push->menu())
                Room -= B.style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &Option, &B);
        }
        Check(B, B.text(), TextWidth, Room);
    }

    void Group(const QGroupBox& G) {
        if (G.title().isEmpty()) return;
        QStyleOptionGroupBox Option;
        Option.initFrom(&G);
        Option.text = G.title();
        Option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        if (G.isCheckable()) Option.subControls |= QStyle::SC_GroupBoxCheckBox;
        Option.textAlignment = G.alignment();
        int Used = 0;
        if (G.isCheckable())
            Used = G.style()->subControlRect(QStyle::CC_GroupBox, &Option, QStyle::SC_GroupBoxCheckBox, &G).width() + 4;
        // The title needs a few pixels of frame either side.
        const int Room = G.width() - Used - 8;
        Check(G, G.title(), G.fontMetrics().horizontalAdvance(Shown(G.title())), Room);
    }

    void Tabs(const QTabBar& T) {
        const int Padding = T.style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, &T) / 2;
        for (int i = 0; i < T.count(); ++i) {
            if (!T.isTabVisible(i)) continue;
            const QString Text = T.tabText(i);
            int Room = T.tabRect(i).width() - Padding;
            if (!T.tabIcon(i).isNull()) Room -= T.iconSize().width() + 4;
            Check(T, Text, T.fontMetrics().horizontalAdvance(Shown(Text)), Room);
        }
    }

    void Header(const QHeaderView& H) {
        if (H.orientation() != Qt::Horizontal || !H.model()) return;
        const int Margin = H.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &H);
        const int Arrow = H.style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, &H);
        for (int i = 0; i < H.count(); ++i) {
            if (H.isSectionHidden(i) || H.sectionSize(i) == 0) continue;
            // A last section that stretches to the view's edge has all the room it likes.
            const QString Text = H.model()->headerData(i, Qt::Horizontal).toString();
            if (Text.isEmpty()) continue;
            int Room = H.sectionSize(i) - 2 * Margin;
            if (H.isSortIndicatorShown() && H.sortIndicatorSection() == i) Room -= Arrow + Margin;
            Check(H, Text, H.fontMetrics().horizontalAdvance(Text), Room);
        }
    }

    void Tree(const QTreeWidget& T) {
        if (T.columnCount() != 1 || T.horizontalScrollBar()->maximum() > 0) return;
        const int Right = T.viewport()->width();
        for (QTreeWidgetItemIterator It(const_cast<QTreeWidget*>(&T)); *It; ++It) {
            const QTreeWidgetItem* Item = *It;
            const QRect Cell = T.visualItemRect(Item);
            if (Item->isHidden() || !Cell.isValid()) continue;
            int Left = Cell.left() + 4;
            if (!Item->icon(0).isNull()) Left += T.iconSize().width() + 4;
            const QString Text = Item->text(0);
            Check(T, Text, T.fontMetrics().horizontalAdvance(Text), Right - Left);
        }
    }

    void Fancy(const TFxFancyButton& B) {
        if (B.Caption().isEmpty()) return;
        Check(B, B.Caption(), B.fontMetrics().horizontalAdvance(Shown(B.Caption())), B.width() - 4);
    }

    void Demo(const TKcDemoButton& B) {
        if (B.Caption().isEmpty()) return;
        // Both faces are measured: the caption must not clip when the pointer comes over it either.
        const int Frame = 2 * (B.OutlineWidth() + B.BevelWidth());
        for (const TKcFont* F : {&B.FontLeave(), &B.FontEnter()}) {
            const int Width = QFontMetrics(F->Font).horizontalAdvance(B.Caption());
            if (Width > B.width() - Frame) return Check(B, B.Caption(), Width, B.width() - Frame);
        }
    }

    void Power(const TKcPowerButton& B) {
        if (B.Caption().isEmpty()) return;
        // The caption starts beside the lamp and may run to the bevel.
        Check(B, B.Caption(), B.fontMetrics().horizontalAdvance(Shown(B.Caption())),
              B.width() - 2 - B.CaptionRect().left());
    }

    void Visit(const QWidget& W) {
        if (W.property(MayClipProperty).toBool() || W.width() <= 0) return;
        if (auto* L = qobject_cast<const QLabel*>(&W))
            Label(*L);
        else if (auto* G = qobject_cast<const QGroupBox*>(&W))
            Group(*G);
        else if (auto* B = qobject_cast<const QAbstractButton*>(&W))
            Button(*B);
        else if (auto* T = qobject_cast<const QTabBar*>(&W))
            Tabs(*T);
        else if (auto* H = qobject_cast<const QHeaderView*>(&W))
            Header(*H);
        else if (auto* Tw = qobject_cast<const QTreeWidget*>(&W))
            Tree(*Tw);
        else if (auto* F = dynamic_cast<const TFxFancyButton*>(&W))
            Fancy(*F);
        else if (auto* D = dynamic_cast<const TKcDemoButton*>(&W))
            Demo(*D);
        else if (auto* P = dynamic_cast<const TKcPowerButton*>(&W))
            Power(*P);
    }
};

}  // namespace

std::vector<TClippedCaption> FindClippedCaptions(const QWidget& Root) {
    TWalker Walker;
    Walker.Visit(Root);
    for (const QWidget* Child : Root.findChildren<QWidget*>())
        if (Child->isVisibleTo(&Root)) Walker.Visit(*Child);
    return Walker.Found;
}

void AllowClipping(QWidget& Widget) { Widget.setProperty(MayClipProperty, true); }

std::string Describe(const TClippedCaption& Clipped) {
    return Clipped.Widget + " \"" + Clipped.Text + "\" needs " + std::to_string(Clipped.TextWidth) + " px, has " +
           std::to_string(Clipped.Room);
}

}  // namespace kelvar
