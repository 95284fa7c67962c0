// The string editor: one line per language, in language order.
#pragma once
#include <QDialog>

class QPlainTextEdit;

class CStrEdit : public QDialog {
    Q_OBJECT
public:
    explicit CStrEdit(const QString& text, QWidget* parent = nullptr);
    QString Text() const { return m_text; }

private:
    QPlainTextEdit* m_edit;
    QString m_text;
};
