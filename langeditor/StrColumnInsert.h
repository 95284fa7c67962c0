// Asks a column number (2 is the first language) and, for an insert, the
// string to put there.
#pragma once
#include <QDialog>

class QLineEdit;

class CStrColumnInsert : public QDialog {
    Q_OBJECT
public:
    CStrColumnInsert(bool withContent, QWidget* parent = nullptr);
    QString Content() const { return m_content; }
    int Column() const { return m_column; }

private:
    QLineEdit* m_contentEdit;
    QLineEdit* m_columnEdit;
    QString m_content;
    int m_column = 0;
};
