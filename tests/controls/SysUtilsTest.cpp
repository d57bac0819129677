#include "controls/KcClasses.h"
#include "controls/KcControls.h"
#include "controls/KcSysUtils.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QtEndian>

namespace kelvar {
namespace {

TEST(KcSysUtils, ValueOfPercentTruncatesExactSharesOneLower) {
    struct Case {
        int Percent, Total, Expected;
    };
    for (const Case& C :
         {Case{60, 10, 5}, Case{10, 10, 0}, Case{60, 80, 47}, Case{50, 10, 5}, Case{100, 80, 80}, Case{0, 80, 0}})
        EXPECT_EQ(ValueOfPercent(C.Percent, C.Total), C.Expected) << C.Percent << "% of " << C.Total;
    EXPECT_EQ(PercentOfValue(5, 0), 0);
    EXPECT_EQ(PercentOfValue(50, 100), 50);
    EXPECT_EQ(PercentOfValue(1, 3), 33);
}

TEST(KcSysUtils, ColoursKeepTheirByteOrder) {
    EXPECT_EQ(ToQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clBlue), QColor(0, 0, 255));
    EXPECT_EQ(FromQColor(QColor(1, 2, 3)), 0x030201u);
    EXPECT_EQ(ResolveColor(0x123456), 0x123456u);
    EXPECT_EQ(ResolveColor(clBtnFace) & 0xFF000000u, 0u);
}

TEST(KcSysUtils, InactiveCaptionIsAGreyApartFromTheHighlight) {
    const QColor Inactive = ToQColor(clInactiveCaption);
    EXPECT_EQ(Inactive.saturation(), 0);
    EXPECT_NE(Inactive, QGuiApplication::palette().color(QPalette::Highlight));
}

TEST(KcSysUtils, Frame3DDrawsTopLeftThenBottomRightRings) {
    QImage Img(6, 5, QImage::Format_RGB32);
    Img.fill(Qt::white);
    QPainter P(&Img);
    QRect R = Img.rect();
    DrawFrame3D(P, R, 0x0000FF, 0x00FF00, 1);
    P.end();
    EXPECT_EQ(R, QRect(1, 1, 4, 3));
    const QRgb Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0);
    EXPECT_EQ(Img.pixel(0, 0), Red);
    EXPECT_EQ(Img.pixel(4, 0), Red);
    EXPECT_EQ(Img.pixel(5, 0), Green);  // the right column starts at the top
    EXPECT_EQ(Img.pixel(0, 4), Green);  // the bottom line reaches the left edge
    EXPECT_EQ(Img.pixel(0, 3), Red);
    EXPECT_EQ(Img.pixel(2, 2), qRgb(255, 255, 255));

    QImage Flush(6, 5, QImage::Format_RGB32);
    Flush.fill(Qt::white);
    QPainter F(&Flush);
    QRect FR = Flush.rect();
    DrawFrame3DFlush(F, FR, 0x0000FF, 0x00FF00, 1);
    F.end();
    EXPECT_EQ(Flush.pixel(0, 4), Red);
}

TEST(KcSysUtils, ImageTextLayoutCentresTheGroup) {
    QRect Image, Text;
    // 125-pixel button less 3 pixels of outline and bevel on each side.
    const QRect Client(3, 3, 119, 19);
    CalcImageTextLayout(Client, QSize(12, 12), QSize(40, 14), TKcImageTextLayout::ImageLeft, -1, 5, Image, Text);
    EXPECT_EQ(Image.left() - Client.left(), (119 - 57 + 1) / 2);
    EXPECT_EQ(Text.left(), Image.left() + 12 + 5);
    const int LeftGap = Image.left() - Client.left(), RightGap = Client.right() - Text.right();
    EXPECT_LE(std::abs(LeftGap - RightGap), 1);
    CalcImageTextLayout(Client, QSize(12, 12), QSize(0, 0), TKcImageTextLayout::ImageRight, 4, 5, Image, Text);
    EXPECT_EQ(Image.left(), Client.left() + 119 - 4 - 12);
}

TEST(KcSysUtils, DitherBitmapIsACheckerboard) {
    const QImage D = CreateDitherBitmap(0x0000FF, clBlack);
    EXPECT_EQ(D.size(), QSize(8, 8));
    EXPECT_EQ(D.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(D.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(D.pixel(1, 1), qRgb(255, 0, 0));
}

TEST(KcPersistent, ChangesFireOncePerChange) {
    TKcPalette P;
    int Fired = 0;
    P.OnChange = [&](TKcPersistent&) { ++Fired; };
    P.SetLow(clGreen);  // the current value
    EXPECT_EQ(Fired, 0);
    P.SetLow(clRed);
    EXPECT_EQ(Fired, 1);
    TKcPalette Same;
    Same.SetLow(clRed);
    P.Assign(Same);  // equal values still end in one change
    EXPECT_EQ(Fired, 2);
    TKcPalette Other(clBlue, clWhite);
    P.BeginUpdate();
    P.Assign(Other);
    EXPECT_EQ(Fired, 2);
    P.EndUpdate();
    EXPECT_EQ(Fired, 3);
    EXPECT_EQ(P.High(), clWhite);
    P.EndUpdate();  // unbalanced: stays at 0 and fires
    EXPECT_EQ(P.UpdateCount(), 0);
    EXPECT_EQ(Fired, 4);
}

TEST(KcBevel, VisibleAreaAndDrawAgree) {
    TKcBevel B;
    const QRect R(0, 0, 40, 30);
    EXPECT_EQ(B.GetVisibleArea(R), R.adjusted(4, 4, -4, -4));
    B.SetBorderWidth(2);
    B.SetOuterStyle(TKcBevelStyle::bsNone);
    QImage Img(40, 30, QImage::Format_RGB32);
    QPainter P(&Img);
    QRect D = R;
    B.Draw(P, D);
    EXPECT_EQ(D, B.GetVisibleArea(R));
    B.SetVisible(false);
    EXPECT_EQ(B.GetVisibleArea(R), R);
}

QByteArray Stream(const TKcBitmaps& B) {
    QByteArray Data;
    QBuffer Buf(&Data);
    Buf.open(QIODevice::WriteOnly);
    B.SaveToStream(Buf);
    return Data;
}

TEST(KcBitmaps, RoundTripsThroughItsStream) {
    TKcBitmaps B;
    QImage A(18, 14, QImage::Format_RGB32), C(113, 42, QImage::Format_RGB32);
    A.fill(Qt::red);
    C.fill(Qt::blue);
    B.Add(A);
    B.Add(C);
    QByteArray Data = Stream(B);
    EXPECT_EQ(Data.left(4), QByteArray("\x62\x54\x35\x00", 4));
    TKcBitmaps Loaded;
    int Changes = 0;
    Loaded.OnChange = [&](TKcPersistent&) { ++Changes; };
    QBuffer In(&Data);
    In.open(QIODevice::ReadOnly);
    Loaded.ReadData(In);
    EXPECT_EQ(Changes, 1);
    ASSERT_EQ(Loaded.Count(), 2);
    EXPECT_EQ(Loaded.Items(1).size(), QSize(113, 42));
    EXPECT_EQ(Loaded.Items(0).pixelColor(3, 3), QColor(Qt::red));
}

TEST(KcBitmaps, RejectsDamagedStreams) {
    TKcBitmaps B;
    QImage A(4, 4, QImage::Format_RGB32);
    A.fill(Qt::green);
    B.Add(A);
    const QByteArray Good = Stream(B);
    auto Patched = [&](int Offset, quint32 Value) {
        QByteArray D = Good;
        qToLittleEndian<quint32>(Value, D.data() + Offset);
        return D;
    };
    const QByteArray Cases[] = {
        QByteArray("BM\0\0", 4) + Good.mid(4),  // wrong signature
        Patched(4, 0xFFFFFFFFu),                // negative count
        Patched(4, 1000000u),                   // more images than the stream holds
        Patched(10, 0x7FFFFFF0u),               // image size past the end
        Good.left(Good.size() - 5),             // truncated
    };
    for (const QByteArray& Bad : Cases) {
        TKcBitmaps L;
        QByteArray D = Bad;
        QBuffer In(&D);
        In.open(QIODevice::ReadOnly);
        try {
            L.ReadData(In);
            ADD_FAILURE() << "no failure";
        } catch (const EKcError& E) {
            EXPECT_STREQ(E.what(), "Invalid file format");
        }
        EXPECT_EQ(L.UpdateCount(), 0);
    }
    TKcBitmaps Empty;
    EXPECT_FALSE(Empty.HasData());
    QByteArray D = Stream(Empty);
    QBuffer In(&D);
    In.open(QIODevice::ReadOnly);
    Empty.ReadData(In);
    EXPECT_EQ(Empty.Count(), 0);
}

TEST(KcSharedComponent, LinksHearChangesAndForgetADestroyedSender) {
    TKcChangeLink Link;
    int Heard = 0;
    Link.OnChange = [&](TKcSharedComponent&) { ++Heard; };
    {
        TKcSharedComponent Shared;
        Shared.InsertLink(&Link);
        Shared.NotifyLinks();
        EXPECT_EQ(Heard, 1);
        EXPECT_EQ(Link.Sender(), &Shared);
    }
    EXPECT_EQ(Link.Sender(), nullptr);
}

}  // namespace
}  // namespace kelvar
