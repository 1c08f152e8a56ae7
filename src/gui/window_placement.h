#pragma once
// Where a modeless window opens: beside the main window's image (which the user clicks on while
// the window is open), never outside the screen.
class QWidget;

namespace kvr::gui {

// Moves (and if need be shrinks) the shown top-level `window` to the first place beside
// `image` (right, left, below, above) that lies within `image`'s screen; when none does, to
// the screen's right edge.
void place_beside(QWidget& window, const QWidget& image);

}  // namespace kvr::gui
