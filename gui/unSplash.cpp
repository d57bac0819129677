#include "gui/unSplash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>

#include <filesystem>

#include "controls/DialogOwner.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

TfoSplash::TfoSplash() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen) {
    setFixedSize(535, 402);
    setStyleSheet("background: #20242c; color: #e8e8e8;");
    FPicture = new QLabel(this);
    FPicture->move(1, 1);
    // A missing picture leaves a plain splash; start-up goes on either way.
    QPixmap picture(QString::fromStdString((std::filesystem::path(ProgramFolder()) / "splash_nmv.jpg").string()));
    if (!picture.isNull()) {
        FPicture->setPixmap(picture);
        FPicture->resize(picture.size());
    }
    auto label = [this](int x, int y, int w, Qt::Alignment align) {
        auto* l = new QLabel(this);
        l->setGeometry(x, y, w, 20);
        l->setAlignment(align);
        return l;
    };
    auto* title = label(24, 150, 487, Qt::AlignLeft);
    title->setText("Kelvar Zorvik");
    QFont big = title->font();
    big.setPointSize(24);
    title->setFont(big);
    title->resize(487, 40);
    FVersion = label(311, 360, 200, Qt::AlignRight);
    FGroup = label(24, 340, 300, Qt::AlignLeft);
    QFont bold = FGroup->font();
    bold.setBold(true);
    FGroup->setFont(bold);
    FStatus = label(24, 360, 280, Qt::AlignLeft);
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - rect().center());
}

void TfoSplash::SetVersion(const QString& text) {
    FVersion->setText(text);
    FVersion->repaint();
}

void TfoSplash::SetStatus(const QString& text) {
    FStatus->setText(text);
    FStatus->repaint();
}

void TfoSplash::SetGroup(int index) {
    static const char* const groups[] = {"General", "Database", "Config", "Kelvar", "User interface", "Services"};
    if (index < 0 || index > 5) return;
    FGroup->setText(groups[index]);
    FGroup->repaint();
}

TQtStartupUi::~TQtStartupUi() = default;

void TQtStartupUi::ShowSplash(const std::string& version) {
    if (!FSplash) FSplash = std::make_unique<TfoSplash>();
    FSplash->SetVersion(QString::fromStdString(version));
    FSplash->SetGroup(0);
    FSplash->SetStatus("Starting...");
    FSplash->show();
    FSplash->repaint();
    QApplication::processEvents();
}

void TQtStartupUi::SetStatus(const std::string& text) {
    if (FSplash) FSplash->SetStatus(QString::fromStdString(text));
}

void TQtStartupUi::SetGroup(int index) {
    if (FSplash) FSplash->SetGroup(index);
}

void TQtStartupUi::CloseSplash() {
    if (FSplash) FSplash->hide();
    FSplash.reset();
}

// Start-up questions belong to the splash while it shows, so they open above it.
void TQtStartupUi::ErrorDialog(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, "Kelvar Zorvik", QString::fromStdString(text), QMessageBox::Ok);
    OwnDialog(box, FSplash.get());
    box.exec();
}

bool TQtStartupUi::RetryDialog(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, "Kelvar Zorvik", QString::fromStdString(text),
                    QMessageBox::Abort | QMessageBox::Retry);
    OwnDialog(box, FSplash.get());
    return box.exec() == QMessageBox::Retry;
}

}  // namespace kelvar
