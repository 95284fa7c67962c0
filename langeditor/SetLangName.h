// Asks the name of a language to add or delete.
#pragma once
#include <QDialog>

class QLineEdit;

class CSetLangName : public QDialog {
    Q_OBJECT
public:
    explicit CSetLangName(QWidget* parent = nullptr);
    QString Name() const { return m_name; }

private:
    QLineEdit* m_edit;
    QString m_name;
};
