#pragma once
// Tool-bar pictures, drawn by this program at run time (bitmap resource number → icon).
#include <QIcon>

namespace kvr::gui {

inline constexpr int kToolIconSize = 20;

// The picture of tool-bar bitmap `bitmap`; a null icon for a number the tool bar does not use.
QIcon tool_icon(int bitmap);

}  // namespace kvr::gui
