#pragma once
// Paints the link grid's data cells: location rows in the window colours,
// exception rows light grey (black when selected), and every cell of a row
// without a ZAM alarm framed in red so that the row stands out boxed.
#include <QColor>
#include <QStyledItemDelegate>

#include "logic/grid/linkgridrows.h"

namespace zampo {

class LinkGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    struct CellColours {
        QColor background;
        QColor text;
    };
    // column 1 to 5
    static CellColours cellColours(LinkRowKind kind, bool selected, int column, const QPalette& palette);
    static const QColor kFrameColour;

    // Colours by row kind and column, the frame of a selected cell.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace zampo
