#include "gui/songinfo/SonginfoScreenshots.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <memory>

#include "core/KelvarApi.h"
#include "core/playlist/SongRows.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/Screenshots.h"
#include "gui/songinfo/funAmazonInfo.h"
#include "gui/songinfo/unAmazonSearch.h"
#include "gui/songinfo/unSongApplyList.h"
#include "gui/songinfo/unSongInfo.h"

namespace kelvar {

namespace {

const TMetaDataConfig& ShownConfig() {
    if (TKelvarApi* api = ProgramKelvarApi(); api && api->MetaDataConfig()) return *api->MetaDataConfig();
    static const TMetaDataConfig fallback;
    return fallback;
}

// A drawn album cover in a temporary file (the card reads it at once).
std::string Cover(int Number, QColor Colour) {
    QImage image(120, 120, QImage::Format_RGB32);
    image.fill(Colour);
    QPainter painter(&image);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(40);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::number(Number));
    painter.end();
    const std::string file = (QDir::tempPath() + QString("/kelvar-shot-cover-%1.png").arg(Number)).toStdString();
    image.save(QString::fromStdString(file), "PNG");
    return file;
}

}  // namespace

void RegisterSonginfoScreenshots() {
    RegisterScreenshot("SongInfo", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoSongInfo>();
        if (IDatasetPtr rows = SampleSongs()) dialog->Init(rows);
        return dialog;
    });
    RegisterScreenshot("ApplyToAlbum", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoSongApplyList>();
        if (IDatasetPtr rows = SampleAlbumTracks()) dialog->Fill(*rows);
        return dialog;
    });
    RegisterScreenshot("AlbumLookup", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoAmazonSearch>(ShownConfig(), TAlbumLookupSettings{});
        dialog->eSearch->setText("Demo Artist Demo Album");
        const QColor colours[] = {QColor(40, 90, 160), QColor(160, 60, 40), QColor(50, 130, 70)};
        for (int i = 0; i < 3; ++i) {
            TAmazonInfo info;
            info.Artist = "Demo Artist";
            info.Album = i == 0 ? "Demo Album" : "Demo Album (Edition " + std::to_string(i + 1) + ")";
            info.Year = std::to_string(2001 + i);
            info.Genre = "Pop";
            info.UPC = "07464" + std::to_string(35000 + i);
            info.LocalPicture = Cover(i + 1, colours[i]);
            auto* card = new TfrmAmazonInfo(info);
            card->ShowInfo();
            card->lbNO->setText(QString::number(i + 1));
            card->StartDownload(THttpTimeouts{});  // no address: shows the file at once
            ForceDeleteFile(info.LocalPicture);
            dialog->AddCard(card);
        }
        dialog->pResults->setText("Showing 1 to 3 of 3 results");
        return dialog;
    });
}

}  // namespace kelvar
