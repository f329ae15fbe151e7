// The grid both previews share, and the nine-grid preview: the current movie at nine points of
// its length, each cell stopped there.
#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "preview/grid.h"
#include "video/tform1.h"

bool Tform1::gridShown() const { return gridCells[0]->isVisibleTo(this); }

void Tform1::ArrangeGrid() { ArrangeGrid(ShockwaveFlash1->geometry()); }

void Tform1::ArrangeGrid(const QRect& player) {
    const auto cells = lanfeng::gridCellRects(player);
    for (int n = 0; n < lanfeng::kGridCells; ++n) gridCells[n]->setGeometry(cells[n]);
}

void Tform1::RefreshGridCells() {
    for (PlayerControl* cell : gridCells) {
        cell->hide();
        cell->show();
        cell->setFocus();
    }
}

void Tform1::GridOverPlayer() {
    const auto places = lanfeng::gridCellRects(ShockwaveFlash1->geometry());
    for (int n = 0; n < lanfeng::kGridCells; ++n) {
        gridCells[n]->setGeometry(places[n]);
        gridCells[n]->Stop();
        gridCells[n]->show();
    }
    RefreshGridCells();
    ShockwaveFlash1->hide();
}

void Tform1::N5Click() {
    if (Form2) Form2->Timer1.stop();
    const auto places = lanfeng::gridCellRects(ShockwaveFlash1->geometry());
    for (int n = 1; n <= lanfeng::kGridCells; ++n) {
        PlayerControl* cell = gridCells[n - 1];
        cell->BGColor(QString());
        cell->setGeometry(places[n - 1]);
        // One path for all nine: the movie cache parses it once.
        cell->Movie(ShockwaveFlash1->Movie());
        // The first cell stays where Stop catches it; a frame below zero shows the first frame.
        if (n > 1) cell->GotoFrame(lanfeng::gridCellFrame(ShockwaveFlash1->TotalFrames(), n));
        cell->Stop();
        cell->show();
    }
    handOverToGrid();
    if (ToolBar1->isVisible()) {
        // In full screen the strip gives its height to the top row, whose bottom stays put.
        N19->setChecked(false);
        ShockwaveFlash1->move(ShockwaveFlash1->x(), 0);
        ToolBar1->hide();
        for (int n = 1; n <= 3; ++n) {
            PlayerControl* cell = gridCells[n - 1];
            cell->setGeometry(cell->x(), 0, cell->width(), cell->height() + ToolBar1->height());
            cell->hide();
            cell->show();
            cell->setFocus();
        }
    }
}

void Tform1::handOverToGrid() {
    ShockwaveFlash1->Stop();
    ShockwaveFlash1->Movie(lanfeng::sampleMoviePath());
    ShockwaveFlash1->hide();
    RefreshGridCells();
    if (Form2) {
        Form2->Label3->setText(QStringLiteral(" "));
        Form2->Label3->setText(QStringLiteral("岚枫flash播放器"));
    }
}

void Tform1::Button1Click() {
    gridCells[0]->hide();
    gridCells[0]->Movie(lanfeng::sampleMoviePath());
    for (int n = 2; n <= lanfeng::kGridCells; ++n) {
        gridCells[n - 1]->hide();
        gridCells[n - 1]->Movie(gridCells[0]->Movie());
    }
    ShockwaveFlash1->show();
    ShockwaveFlash1->Play();
    N19->setVisible(true);
}
