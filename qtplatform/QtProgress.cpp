#include "QtProgress.h"

#include <QThread>

#include <algorithm>

QtProgress::QtProgress(QProgressBar* bar) : m_bar(bar)
{
    if (m_bar != nullptr) {
        m_bar->setTextVisible(false);
        m_bar->setRange(0, 1000);
        m_bar->setValue(0);
    }
}

void QtProgress::SetRange(int lower, int upper)
{
    upper = std::max(lower, upper);
    m_lower = lower;
    m_upper = upper;
    m_pos = std::clamp(m_pos.load(), lower, upper);
    Apply(lower, upper, m_pos, false);
}

void QtProgress::SetPos(int pos)
{
    m_pos = std::clamp(pos, m_lower.load(), m_upper.load());
    Apply(m_lower, m_upper, m_pos, true);
}

namespace {

// Whether the bar at `pos` would show the same filled length as now; the
// ends always count as a change.
bool SamePixel(const QProgressBar& bar, int pos)
{
    const qint64 lower = bar.minimum();
    const qint64 upper = bar.maximum();
    if (pos == lower || pos == upper || upper <= lower)
        return false;
    const qint64 extent = bar.orientation() == Qt::Horizontal ? bar.width() : bar.height();
    auto filled = [&](qint64 v) { return (v - lower) * extent / (upper - lower); };
    return filled(pos) == filled(bar.value());
}

} // namespace

void QtProgress::Apply(int lower, int upper, int pos, bool repaint)
{
    QProgressBar* bar = m_bar.data();
    if (bar == nullptr)
        return;
    if (QThread::currentThread() != bar->thread()) {
        // The bar's thread paints it when it next returns to its event loop.
        QMetaObject::invokeMethod(
            bar,
            [bar, lower, upper, pos] {
                bar->setRange(lower, upper);
                bar->setValue(pos);
            },
            Qt::QueuedConnection);
        return;
    }
    // QProgressBar paints on every visible step by itself: its own painting
    // is held back, and the bar painted here at most every interval; a
    // position held back is painted with the next repaint.
    const bool due = repaint && (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= kRepaintIntervalMs);
    // A step of a long operation rarely moves the bar by a pixel, and setting
    // the value costs far more than the step itself (the bar formats its text
    // to decide whether to paint): such a step leaves the bar as it is.
    if (!due && bar->minimum() == lower && bar->maximum() == upper && SamePixel(*bar, pos))
        return;
    bar->setUpdatesEnabled(false);
    bar->setRange(lower, upper);
    bar->setValue(pos);
    bar->setUpdatesEnabled(true);
    if (due) {
        bar->repaint();
        m_sincePaint.start();
    }
}
