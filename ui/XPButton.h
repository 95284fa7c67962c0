// The push button of the program's dialogs and of the machine control page:
// a face with curved corners (the window itself is cut to them), a hover
// highlight, a focus frame and, by its kind, an arrow icon. The jog buttons
// derive from it and take their jog kind from m_kind.
#pragma once
#include <QPushButton>

#include <cstdint>

class CXPButton : public QPushButton {
public:
    explicit CXPButton(QWidget* parent = nullptr);
    explicit CXPButton(const QString& text, QWidget* parent = nullptr);

    // The button kind: selects the arrow icon (1, 11 left; 2, 12 right; 3,
    // 13 up; 4, 14 down; 21 back to origin; any other none).
    std::uint32_t m_kind = 0;

    bool IsHovered() const { return m_hover; }

    // The arrow icon of a kind and the point of the client area where its
    // top-left corner goes; icon id 0 when the kind has none.
    struct ArrowIcon {
        int icon;
        int x;
        int y;
    };
    static ArrowIcon ArrowOf(std::uint32_t kind);

    // The window's shape for a size: the rectangle without the pixels
    // outside its corner ellipses of 5 x 5.
    static QRegion RoundedRegion(const QSize& size);

protected:
    // Fills the face inside the edges.
    virtual void FillFace(QPainter& painter, const QRect& face);
    // Draws the hover or focus edges around the face.
    virtual void DrawBorder(QPainter& painter, const QRect& face);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Init();

    bool m_hover = false;
};
