#include "training/updown.h"

#include <QToolButton>
#include <QVBoxLayout>

CUpDown::CUpDown(int min, int max, int value, QWidget* parent)
    : QWidget(parent), m_min(min), m_max(max), m_value(qBound(min, value, max))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { SetValue(m_value + 1); });
    connect(m_down, &QToolButton::clicked, this, [this] { SetValue(m_value - 1); });
}

void CUpDown::SetValue(int value)
{
    value = qBound(m_min, value, m_max);
    if (value == m_value)
        return;
    m_value = value;
    emit Change();
}
