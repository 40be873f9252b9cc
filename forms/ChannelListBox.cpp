#include "forms/ChannelListBox.h"

#include <QEvent>
#include <QStyledItemDelegate>

namespace {

// Rows are 16 pixels high whatever the font says; uniform sizes keep huge lists fast.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 16);
    }
};

} // namespace

ChannelListBox::ChannelListBox(QWidget *parent) : QListWidget(parent) {
    setItemDelegate(new FixedRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_fromCode)
            emit selectionChangedByUser(row);
    });
}

void ChannelListBox::selectRowFromCode(int row) {
    if (row < 0 || row >= count())
        return;
    m_fromCode = true;
    setCurrentRow(row);
    m_fromCode = false;
}

void ChannelListBox::focusInEvent(QFocusEvent *event) {
    // The item view would make the first row current on focus; a list box keeps "no row".
    const int before = currentRow();
    m_fromCode = true;
    QListWidget::focusInEvent(event);
    if (before < 0 && currentRow() >= 0) {
        setCurrentItem(nullptr);
        clearSelection();
    }
    m_fromCode = false;
}

bool ChannelListBox::viewportEvent(QEvent *event) {
    const bool result = QListWidget::viewportEvent(event);
    if (event->type() == QEvent::Paint)
        emit painted();
    return result;
}
