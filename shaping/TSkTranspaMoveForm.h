#pragma once

#include "shaping/TCoord.h"
#include "shaping/TRGV.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QMouseEvent;
class ShapingImage;

// Cuts its owner form to the outline of a skin image (every pixel of the key colour is left
// out of the window) and lets the user drag the form by a left press anywhere on it except
// on the other images. A press on a label or on the skin counts as a press on the form;
// windowed children such as the player keep their presses.
class TSkTranspaMoveForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(qint32 TransparentColor READ TransparentColor WRITE setTransparentColor)
    Q_PROPERTY(bool Deplacement READ Deplacement WRITE setDeplacement)
public:
    // A component made for a form's description waits for Loaded before it reads the image;
    // one made by code never reshapes the form, whatever it is told.
    enum class Creation { ByCode, FromDescription };

    explicit TSkTranspaMoveForm(QWidget *owner, Creation creation = Creation::ByCode);
    ~TSkTranspaMoveForm() override;

    // The image the form is cut to; null once that image is destroyed or taken off the form.
    ShapingImage *ImageLinked() const { return m_imageLinked; }
    void setImageLinked(ShapingImage *image);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool on) { m_transparent = on; }
    // Red in the low byte, then green, then blue.
    qint32 TransparentColor() const { return m_transparentColor; }
    void setTransparentColor(qint32 colour);
    TRGV *RGVTransparentColor() { return &m_rgv; }
    TCoord *XYTransparentColor() { return &m_xy; }
    bool Deplacement() const { return m_deplacement; }
    void setDeplacement(bool on) { m_deplacement = on; }

    // The form calls this once its description (the stored values above) is set up.
    void Loaded();
    void RebuildRegion();

signals:
    // The form's shape was just applied (or cleared, for a picture with nothing to show).
    void regionRebuilt();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnRGVChange(TRGV *sender);
    void OnXYChange(TCoord *sender);
    bool MessageHook(QObject *receiver, QMouseEvent *event);
    bool isPressOnForm(QObject *receiver) const;
    bool isGraphicControlAt(const QPoint &formPos) const;
    bool isOnOtherImage(const QPoint &formPos) const;
    void writeComponents(qint32 colour);
    QPoint imagePosition() const;
    bool isOnForm(const QWidget *widget) const;
    void imageParentChanged();

    ShapingImage *m_imageLinked = nullptr;
    QWidget *linkedWidget() const;
    bool m_transparent = false;
    qint32 m_transparentColor = 0;
    TCoord m_xy;
    TRGV m_rgv;
    QWidget *m_form;
    bool m_deplacement = false;
    bool FUpdating = true;
    bool FLoaded = false;
    bool m_loading;
    QMetaObject::Connection m_imageRemoval;
    bool m_imageOnForm = false;
    QWidget *m_imageWidget = nullptr;

    // The application has one hook: the component created last, then the one before it.
    static inline QList<TSkTranspaMoveForm *> s_hooks;
};
