// Controls of Mervash's dialogs carry the ids of their templates, so tests
// and the command handlers find them by number.
#pragma once
#include <QWidget>

inline void SetControlId(QObject* control, int id) { control->setProperty("controlId", id); }
inline int ControlIdOf(const QObject* control) { return control ? control->property("controlId").toInt() : 0; }

// The child control of a dialog with an id, or null.
template <class T>
T* FindControl(const QWidget* dialog, int id)
{
    for (T* child : dialog->findChildren<T*>()) {
        if (ControlIdOf(child) == id)
            return child;
    }
    return nullptr;
}
