#pragma once

#include <QtGlobal>
#include <functional>

// The key colour as three components, owned by the shaped-window component. Every write
// stores the value and then notifies, even when the value did not change.
class TRGV {
public:
    using Notification = std::function<void(TRGV *sender)>;

    explicit TRGV(Notification onChange = {}) : m_onChange(std::move(onChange)) {}
    TRGV(const TRGV &) = delete;
    TRGV &operator=(const TRGV &) = delete;

    quint8 R() const { return m_r; }
    quint8 G() const { return m_g; }
    quint8 B() const { return m_b; }
    void setR(quint8 value);
    void setG(quint8 value);
    void setB(quint8 value);

    void setOnChange(Notification onChange) { m_onChange = std::move(onChange); }

private:
    void changed();

    quint8 m_r = 0;
    quint8 m_g = 0;
    quint8 m_b = 0;
    Notification m_onChange;
};
