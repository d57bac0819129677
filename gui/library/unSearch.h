#pragma once
// The one floating search window: created on first use, hidden when closed, freed at shutdown.
#include <QString>
#include <QWidget>
#include <memory>

class QAction;

namespace kelvar {

class TfoSearchList;
class TPlaylistManager;

class TfoSearch : public QWidget {
public:
    TfoSearch();
    ~TfoSearch() override;
    TfoSearchList* foSearchList1;
    QAction* alSearch;
    QAction* alExit;

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    bool FShown = false;
};

// Shows the search window (made on first use), with Text in its search field when not empty.
void OpenSearchWindow(std::shared_ptr<TPlaylistManager> Manager, const QString& Text);
// Frees the window when there is one.
void FreeSearchWindow();
// The window while it exists.
TfoSearch* SearchWindow();

}  // namespace kelvar
