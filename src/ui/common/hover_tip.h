// The tip that follows the mouse over the palette grid and the image view: the colour data of
// what lies under the cursor.
#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace lw {

// Shows text next to the cursor (global position) for widget; an empty text hides the tip.
void ShowHoverTip(QWidget* widget, QPoint globalPosition, const QString& text);
void HideHoverTip();
// The text shown now, empty when hidden; for the tests.
QString HoverTipText();

// "#%d: R=%d, G=%d, B=%d" (grid) or "#%d : R=%d, V=%d, B=%d" (image), or "#%d: Transparent".
QString ColourTipText(int index, int red, int green, int blue, bool transparent, bool image);

}  // namespace lw
