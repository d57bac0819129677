#pragma once
// The playlist rules every rotation logic obeys: minimum times between plays of the same album,
// artist, title and track, and the queue the core keeps.
#include <QCheckBox>
#include <QFrame>
#include <QSpinBox>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmPlaylistRules : public QFrame {
public:
    explicit TfrmPlaylistRules(QWidget* Parent = nullptr);

    // Section "PlaylistRules".
    void LoadFrom(IConfigDoc& Section);
    void SaveTo(IConfigDoc& Section);

    QSpinBox* eAlbumInterval = nullptr;
    QSpinBox* eArtistInterval = nullptr;
    QSpinBox* eSongInterval = nullptr;
    QSpinBox* eSongIDInterval = nullptr;
    QSpinBox* eMinQueueSize = nullptr;
    QCheckBox* eUseGhost = nullptr;

private:
    // The ghost song only matters without a kept queue.
    void UpdateGhost();
};

}  // namespace kelvar
