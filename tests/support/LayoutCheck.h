// Checks of a laid-out window: visible sibling widgets that overlap, and
// labels, buttons, check boxes and group boxes whose text needs more width
// than the widget has. Each fault names the widgets by their object names
// (the control ids), from the window down.
#pragma once
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <string>
#include <vector>

namespace plat {

// A widget's name in a fault: its path of object names (class names where a
// widget has none) from the checked window.
inline std::string WidgetPath(const QWidget* w, const QWidget* top)
{
    std::string path;
    for (const QWidget* at = w; at != nullptr; at = at->parentWidget()) {
        if (at->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QString name =
            at->objectName().isEmpty() ? QString::fromLatin1(at->metaObject()->className()) : at->objectName();
        path = name.toStdString() + (path.empty() ? "" : "/" + path);
        if (at == top)
            break;
    }
    return path;
}

// Text without its mnemonic marks ("&&" stays one "&").
inline QString ShownText(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

// The width a widget's text needs, 0 when it shows none we check.
inline int TextWidthNeeded(const QWidget* w)
{
    const QFontMetrics fm(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || label->wordWrap())
            return 0;
        return label->minimumSizeHint().width();
    }
    if (qobject_cast<const QCheckBox*>(w) != nullptr || qobject_cast<const QRadioButton*>(w) != nullptr) {
        const auto* b = static_cast<const QAbstractButton*>(w);
        return b->text().isEmpty() ? 0 : b->sizeHint().width();
    }
    if (const auto* b = qobject_cast<const QPushButton*>(w)) {
        if (b->text().isEmpty())
            return 0;
        // The text and icon with the style's margins and frame; not the
        // size hint, which some styles widen to a minimum of their own.
        const QStyle* style = b->style();
        int need = fm.horizontalAdvance(ShownText(b->text())) +
                   style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                   2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
        if (!b->icon().isNull())
            need += b->iconSize().width() + 4;
        return need;
    }
    if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
        if (g->title().isEmpty())
            return 0;
        QStyleOptionGroupBox option;
        option.initFrom(g);
        option.text = g->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        if (g->isCheckable())
            option.subControls |= QStyle::SC_GroupBoxCheckBox;
        const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
        // The label lies at its place from the left; it must end inside.
        return label.left() + fm.horizontalAdvance(ShownText(g->title())) + label.left();
    }
    return 0;
}

// Widgets whose children the toolkit places itself, overlapping by design
// (a scroll area's bars and corner, a spin box's editor, a tab widget's bar
// over its frame): their children are not compared with each other.
inline bool PlacesOwnChildren(const QWidget* w)
{
    return (qobject_cast<const QAbstractScrollArea*>(w) != nullptr && qobject_cast<const QScrollArea*>(w) == nullptr) ||
           qobject_cast<const QAbstractSpinBox*>(w) != nullptr || qobject_cast<const QComboBox*>(w) != nullptr ||
           qobject_cast<const QTabWidget*>(w) != nullptr || qobject_cast<const QTabBar*>(w) != nullptr ||
           qobject_cast<const QToolBar*>(w) != nullptr;
}

inline bool IsShown(const QWidget* w, const QWidget* top)
{
    return !w->isWindow() && w->isVisibleTo(top);
}

// The toolkit's own parts (a scroll area's viewport and bars, a window's
// size grip in its corner) are not compared with the widgets they hold or
// lie over.
inline bool IsToolkitPart(const QWidget* w)
{
    return w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<const QSizeGrip*>(w) != nullptr;
}

inline void CollectLayoutFaults(const QWidget* w, const QWidget* top, std::vector<std::string>& faults)
{
    std::vector<const QWidget*> children;
    for (const QObject* o : w->children())
        if (const auto* c = qobject_cast<const QWidget*>(o); c != nullptr && IsShown(c, top))
            children.push_back(c);
    if (!PlacesOwnChildren(w)) {
        for (std::size_t i = 0; i < children.size(); ++i)
            for (std::size_t j = i + 1; j < children.size(); ++j)
                if (!IsToolkitPart(children[i]) && !IsToolkitPart(children[j]) &&
                    children[i]->geometry().intersects(children[j]->geometry()))
                    faults.push_back("overlap: " + WidgetPath(children[i], top) + " and " +
                                     WidgetPath(children[j], top));
    }
    for (const QWidget* c : children) {
        const int need = TextWidthNeeded(c);
        if (need > c->width())
            faults.push_back("text cut: " + WidgetPath(c, top) + " needs " + std::to_string(need) + " px, has " +
                             std::to_string(c->width()));
        if (const auto* label = qobject_cast<const QLabel*>(c);
            label != nullptr && label->wordWrap() && label->heightForWidth(label->width()) > label->height())
            faults.push_back("text cut: " + WidgetPath(c, top) + " needs more height");
        CollectLayoutFaults(c, top, faults);
    }
}

// Every fault of a shown window.
inline std::vector<std::string> LayoutFaults(const QWidget* top)
{
    std::vector<std::string> faults;
    CollectLayoutFaults(top, top, faults);
    return faults;
}

} // namespace plat
