#include "forms/ChannelListBox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Rows are 16 pixels high whatever the font says; uniform sizes keep huge lists fast.
// Names are drawn white with a thin outline just off black: black is keyed out of the window, the
// outline is not, so a name stays readable over a bright picture and is easier to click.
class ChannelRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 16);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        painter->save();
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, QColor(28, 63, 148));
        painter->setFont(option.font);
        const QRect text = option.rect.adjusted(2, 0, -2, 0);
        const QString name = index.data(Qt::DisplayRole).toString();
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        painter->setPen(QColor(8, 8, 8));
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy)
                    painter->drawText(text.translated(dx, dy), flags, name);
        painter->setPen(Qt::white);
        painter->drawText(text, flags, name);
        painter->restore();
    }
};

} // namespace

ChannelListBox::ChannelListBox(QWidget *parent) : QListWidget(parent) {
    setItemDelegate(new ChannelRowDelegate(this));
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

void ChannelListBox::keyPressEvent(QKeyEvent *event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const int key = event->key();
    if (m_pictureKeysTarget && plain && (key == Qt::Key_F || key == Qt::Key_F11 || key == Qt::Key_Escape)) {
        QCoreApplication::sendEvent(m_pictureKeysTarget, event);
        return;
    }
    QListWidget::keyPressEvent(event);
}

bool ChannelListBox::viewportEvent(QEvent *event) {
    const bool result = QListWidget::viewportEvent(event);
    if (event->type() == QEvent::Paint)
        emit painted();
    return result;
}
