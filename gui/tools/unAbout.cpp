#include "gui/tools/unAbout.h"

#include <QFontInfo>

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <algorithm>

#include "controls/FxFancyButton.h"
#include "controls/KcFonts.h"
#include "controls/KcLabel.h"
#include "controls/KcResources.h"
#include "core/KelvarApi.h"
#include "foundation/Clock.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

TUptime GetUptime(int64_t StartMs, int64_t NowMs) {
    int64_t ms = std::max<int64_t>(0, NowMs - StartMs);
    TUptime up;
    up.Days = ms / 86400000;
    ms %= 86400000;
    up.Hours = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    up.Minutes = static_cast<int>(ms / 60000);
    ms %= 60000;
    up.Seconds = static_cast<int>(ms / 1000);
    up.Milliseconds = static_cast<int>(ms % 1000);
    return up;
}

const char* SQLDriverDisplayName(int Dialect) {
    static const char* const Names[] = {"Unknown", "MySQL", "FireBird", "PostgreSQL", "MSSQL", "SQLite", "MSSQL"};
    return Dialect >= 0 && Dialect < 7 ? Names[Dialect] : Names[0];
}

TfoAbout::TfoAbout(QWidget* Parent) : QDialog(Parent, Qt::Tool) {
    setObjectName("foAbout");
    setWindowTitle(QStringLiteral("About Kelvar"));
    setFixedSize(286, 275);

    imIcon = new QLabel(this);
    imIcon->setAlignment(Qt::AlignCenter);
    imIcon->setGeometry(111, 16, 64, 64);
    lbCaption = new TKcLabel(this);
    lbCaption->setFont(CaptionFont(19, true));
    lbCaption->setGeometry(43, 92, 200, 30);
    lbVersion = new QLabel(this);
    QFont bold = lbVersion->font();
    bold.setBold(true);
    lbVersion->setFont(bold);
    lbVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbDatabase = new QLabel(this);
    lbDatabase->setAlignment(Qt::AlignCenter);
    lbDatabase->setGeometry(8, 160, 270, 18);
    lbUptime = new QLabel(this);
    QFont small = lbUptime->font();
    small.setPixelSize(std::max(8, QFontInfo(small).pixelSize() * 85 / 100));
    lbUptime->setFont(small);
    lbUptime->setAlignment(Qt::AlignCenter);
    lbUptime->setGeometry(8, 182, 270, 18);
    btOK = new TFxFancyButton(QStringLiteral("OK"), this);
    btOK->setObjectName("btOK");
    btOK->setGeometry(106, 232, 75, 25);
    btOK->OnClick = [this](TFxFancyButton&) { accept(); };
}

void TfoAbout::Fill() {
    lbCaption->SetCaption(QStringLiteral("Kelvar Zorvik"));
    lbVersion->setGeometry(lbCaption->x(), lbCaption->y() + lbCaption->height(), lbCaption->width(), 18);
    lbVersion->setText(QStringLiteral("v3.4.2"));
    lbDatabase->setText(QStringLiteral("Database driver: %1")
                            .arg(QString::fromLatin1(SQLDriverDisplayName(TKelvarApi::DatabaseDialect()))));
    const QIcon icon = QApplication::windowIcon().isNull() ? KcProgramIcon() : QApplication::windowIcon();
    imIcon->setPixmap(icon.pixmap(64, 64));
    // The program's start is where the steady clock counts from.
    const TUptime up = GetUptime(0, GetClock().MsSinceStart());
    lbUptime->setText(
        QStringLiteral("Uptime: %1 days, %2 hours and %3 minutes").arg(up.Days).arg(up.Hours).arg(up.Minutes));
}

void ShowAboutBox() {
    TfoAbout about;
    about.Fill();
    ExecModal(about);
}

}  // namespace kelvar
