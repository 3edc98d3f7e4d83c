#include "ui/linkgriddelegate.h"

#include <QPainter>

#include "ui/linkgridmodel.h"

namespace zampo {

namespace {
const QColor kExceptionBackground(221, 221, 221);
const QColor kExceptionLocationText(170, 170, 170);
constexpr int kTextOffset = 2;
}  // namespace

const QColor LinkGridDelegate::kFrameColour(255, 0, 0);

LinkGridDelegate::CellColours LinkGridDelegate::cellColours(LinkRowKind kind, bool selected, int column,
                                                            const QPalette& palette) {
    if (kind == LinkRowKind::Location) {
        // The active group: a selection stays as visible when the grid loses the focus.
        if (selected)
            return {palette.color(QPalette::Active, QPalette::Highlight),
                    palette.color(QPalette::Active, QPalette::HighlightedText)};
        return {palette.color(QPalette::Active, QPalette::Base), palette.color(QPalette::Active, QPalette::Text)};
    }
    if (selected) return {Qt::black, Qt::white};
    // PCU and location repeat those of the location above: greyed out.
    return {kExceptionBackground, column <= 2 ? kExceptionLocationText : QColor(Qt::black)};
}

void LinkGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = qobject_cast<const LinkGridModel*>(index.model());
    if (!model || index.row() >= model->rowCount()) return;
    const LinkGridRow& row = model->row(index.row());
    const int column = index.column() + 1;
    const CellColours colours =
        cellColours(row.kind, option.state.testFlag(QStyle::State_Selected), column, option.palette);

    painter->save();
    const QRect rect = option.rect;
    painter->fillRect(rect, colours.background);
    if (row.unlinked()) {
        painter->setPen(kFrameColour);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter->setClipRect(rect);
    painter->setFont(option.font);
    painter->setPen(colours.text);
    painter->drawText(rect.adjusted(kTextOffset, kTextOffset, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      QString::fromStdString(row.cell(column)));
    painter->restore();
}

}  // namespace zampo
