#include "shaping/TSkTranspaMoveForm.h"

#include "shaping/Colour.h"
#include "shaping/ImageCanvas.h"
#include "shaping/ShapingImage.h"
#include "shaping/SkinRegion.h"
#include "shaping/WindowDrag.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

TSkTranspaMoveForm::TSkTranspaMoveForm(QWidget *owner, Creation creation)
    : QObject(owner), m_xy([this](TCoord *sender) { OnXYChange(sender); }),
      m_rgv([this](TRGV *sender) { OnRGVChange(sender); }), m_form(owner),
      m_loading(creation == Creation::FromDescription) {
    s_hooks.append(this);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TSkTranspaMoveForm::~TSkTranspaMoveForm() {
    s_hooks.removeOne(this);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
    disconnect(m_imageRemoval);
}

void TSkTranspaMoveForm::setImageLinked(ShapingImage *image) {
    disconnect(m_imageRemoval);
    if (m_imageWidget)
        m_imageWidget->removeEventFilter(this);
    m_imageLinked = image;
    m_imageWidget = image ? image->widget() : nullptr;
    if (!image)
        return;
    m_imageRemoval = connect(m_imageWidget, &QObject::destroyed, this, [this] {
        // What is left of the image is no longer one: forget it before unlinking.
        m_imageWidget = nullptr;
        setImageLinked(nullptr);
    });
    // An image taken off the form is removed from it as surely as one destroyed.
    m_imageOnForm = isOnForm(m_imageWidget);
    m_imageWidget->installEventFilter(this);
    if (m_loading)
        return;

    const qint32 colour = ImageCanvas::pixel(*image, 0, 0);
    m_transparentColor = colour;
    m_xy.setY(TCoord::kUnset);
    if (FLoaded)
        FUpdating = true;
    writeComponents(colour);
    if (FLoaded) {
        FUpdating = false;
        RebuildRegion();
    }
}

void TSkTranspaMoveForm::setTransparentColor(qint32 colour) {
    m_transparentColor = colour;
    if (FUpdating)
        return;
    m_xy.setY(TCoord::kUnset);
    FUpdating = true;
    writeComponents(colour);
    FUpdating = false;
    RebuildRegion();
}

void TSkTranspaMoveForm::Loaded() {
    m_loading = false;
    RebuildRegion();
    FUpdating = false;
    FLoaded = true;
}

void TSkTranspaMoveForm::OnRGVChange(TRGV *) {
    if (FUpdating)
        return;
    m_xy.setY(TCoord::kUnset);
    m_transparentColor = Colour::fromRgb(m_rgv.R(), m_rgv.G(), m_rgv.B());
    RebuildRegion();
}

void TSkTranspaMoveForm::OnXYChange(TCoord *) {
    if (m_xy.X() == TCoord::kUnset || m_xy.Y() == TCoord::kUnset || FUpdating || !m_imageLinked)
        return;
    // Read before anything changes, so a picture that cannot be read leaves the key alone.
    const qint32 colour = ImageCanvas::pixel(*m_imageLinked, m_xy.X(), m_xy.Y());
    m_transparentColor = colour;
    FUpdating = true;
    writeComponents(colour);
    FUpdating = false;
    RebuildRegion();
}

void TSkTranspaMoveForm::writeComponents(qint32 colour) {
    m_rgv.setR(Colour::red(colour));
    m_rgv.setG(Colour::green(colour));
    m_rgv.setB(Colour::blue(colour));
}

QWidget *TSkTranspaMoveForm::linkedWidget() const {
    return m_imageWidget;
}

QPoint TSkTranspaMoveForm::imagePosition() const {
    const QWidget *image = linkedWidget();
    return m_form->isAncestorOf(image) ? image->mapTo(m_form, QPoint(0, 0)) : image->pos();
}

void TSkTranspaMoveForm::RebuildRegion() {
    if (!m_transparent || !m_imageLinked)
        return;
    const QPoint at = imagePosition();
    m_form->resize(at.x() + linkedWidget()->width(), at.y() + linkedWidget()->height());

    // A picture that is not a bitmap is shaped as an empty one; it is left as it is.
    const QRegion shape = SkinRegion::build(m_imageLinked->bitmap(), m_transparentColor, at);
    // An empty shape would leave a window nobody can see, move or close: show all of it.
    if (shape.isEmpty())
        m_form->clearMask();
    else
        m_form->setMask(shape);
    m_form->raise();
    emit regionRebuilt();
}

bool TSkTranspaMoveForm::isOnForm(const QWidget *widget) const {
    return widget == m_form || m_form->isAncestorOf(widget);
}

void TSkTranspaMoveForm::imageParentChanged() {
    const bool onForm = isOnForm(linkedWidget());
    if (m_imageOnForm && !onForm)
        setImageLinked(nullptr);
    else
        m_imageOnForm = onForm;
}

bool TSkTranspaMoveForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ParentChange && m_imageLinked && watched == linkedWidget()) {
        imageParentChanged();
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || s_hooks.isEmpty() || s_hooks.last() != this)
        return false;
    return MessageHook(watched, static_cast<QMouseEvent *>(event));
}

bool TSkTranspaMoveForm::MessageHook(QObject *receiver, QMouseEvent *event) {
    if (!m_deplacement || event->button() != Qt::LeftButton || !isPressOnForm(receiver))
        return false;
    const QPoint formPos = static_cast<QWidget *>(receiver)->mapTo(m_form, event->position().toPoint());
    if (!isGraphicControlAt(formPos) || isOnOtherImage(formPos))
        return false;
    WindowDrag::start(m_form, event->globalPosition().toPoint());
    return true;
}

// The form itself, or a label or image on it: those have no window of their own in spirit.
bool TSkTranspaMoveForm::isPressOnForm(QObject *receiver) const {
    if (receiver == m_form)
        return true;
    const auto *label = qobject_cast<const QLabel *>(receiver);
    return label && label->parentWidget() == m_form;
}

// A press that a windowed child (the player) ignored travels on to the form: it is still that
// child's press, so look at what lies under the pointer rather than at who receives it.
bool TSkTranspaMoveForm::isGraphicControlAt(const QPoint &formPos) const {
    QWidget *under = m_form->childAt(formPos);
    return !under || (qobject_cast<const QLabel *>(under) && under->parentWidget() == m_form);
}

// Images are told apart from the linked one by name; hidden ones still cover their area,
// so the presses meant for them are never taken for a drag.
bool TSkTranspaMoveForm::isOnOtherImage(const QPoint &formPos) const {
    const QObjectList &children = m_form->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto *image = dynamic_cast<ShapingImage *>(*it);
        if (!image)
            continue;
        if (m_imageLinked && image->widget()->objectName() == linkedWidget()->objectName())
            continue;
        if (image->widget()->geometry().contains(formPos))
            return true;
    }
    return false;
}
