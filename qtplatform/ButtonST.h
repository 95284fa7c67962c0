// A flat icon button with hover tracking and a tooltip (the palette bar's
// page buttons). It shows its out-state icon until the mouse rests on it,
// then its in-state icon; the out-state icon may be a grey copy of the
// in-state one that the button makes itself. A checkable button is in
// check-box mode: a click toggles it and it looks pressed while ticked.
#pragma once
#include <QPushButton>

class CButtonST : public QPushButton {
public:
    // Out-state icon ids of SetBitmaps beside the icon resources.
    static constexpr int kNoIcon = 0;
    static constexpr int kGreyCopy = -2;

    explicit CButtonST(QWidget* parent = nullptr);

    // The in-state icon and the out-state icon (kNoIcon, kGreyCopy or an
    // icon resource id), each shown at its own size. An id without an icon
    // gives none.
    void SetBitmaps(int inIconId, int outIconId);
    void SetBitmaps(const QPixmap& in, int outIconId);

    // The tooltip's text; an inactive tooltip is not shown.
    void SetTooltipText(const QString& text, bool activate = true);

    bool IsHovered() const { return m_hover; }

    // Each pixel that is not black becomes the grey level 0.299 R + 0.587 G
    // + 0.114 B (truncated); black pixels and every pixel's alpha stay.
    static QPixmap GreyCopy(const QPixmap& icon);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap m_in;
    QPixmap m_out;
    bool m_hover = false;
};
