// The status bar's progress bar as the progress control that engine code
// drives. A long operation runs on the user-interface thread without
// returning to the event loop, so a position is painted at once, but at most
// every 50 ms (later positions inside that time are painted with the next
// repaint). Calls from other threads are queued to the bar's thread.
#pragma once
#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>

#include <atomic>

class QtProgress : public plat::ProgressSink {
public:
    static constexpr int kRepaintIntervalMs = 50;

    // The bar gets the range 0 to 1000 and the position 0.
    explicit QtProgress(QProgressBar* bar);

    // An upper bound below the lower one is taken as the lower one; the
    // position is kept inside the new range.
    void SetRange(int lower, int upper) override;
    // Positions outside the range are set to its nearer end.
    void SetPos(int pos) override;
    int GetPos() const override { return m_pos.load(); }

private:
    void Apply(int lower, int upper, int pos, bool repaint);

    QPointer<QProgressBar> m_bar;
    QElapsedTimer m_sincePaint;
    std::atomic<int> m_lower{0};
    std::atomic<int> m_upper{1000};
    std::atomic<int> m_pos{0};
};
