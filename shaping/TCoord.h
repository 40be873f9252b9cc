#pragma once

#include <QtGlobal>
#include <functional>

// A pixel position in the linked image whose colour becomes the key; -1 means not set.
// Every write stores the value and then notifies, even when the value did not change.
class TCoord {
public:
    using Notification = std::function<void(TCoord *sender)>;
    static constexpr qint32 kUnset = -1;

    explicit TCoord(Notification onChange = {}) : m_onChange(std::move(onChange)) {}
    TCoord(const TCoord &) = delete;
    TCoord &operator=(const TCoord &) = delete;

    qint32 X() const { return m_x; }
    qint32 Y() const { return m_y; }
    void setX(qint32 value);
    void setY(qint32 value);

    void setOnChange(Notification onChange) { m_onChange = std::move(onChange); }

private:
    void changed();

    qint32 m_x = 0;
    qint32 m_y = 0;
    Notification m_onChange;
};
