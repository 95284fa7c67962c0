// The access-code prompt (dialog 233). Mode 0 asks for a user and a code,
// mode 1 for a code alone, mode 2 for a code entered twice; OK in mode 2
// closes only when both entries are the same. The caller reads First().
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QLabel;
class QLineEdit;

class CParamPasswordInput : public CDialogBase {
public:
    static constexpr int IDD = 233;
    static constexpr int IDC_FIRST = 1111;
    static constexpr int IDC_SECOND = 1112;
    static constexpr int IDC_OK = 1073;
    static constexpr int IDC_FIRST_LABEL = 1263;
    static constexpr int IDC_SECOND_LABEL = 1264;

    explicit CParamPasswordInput(std::uint8_t mode, QWidget* parent = nullptr);

    const QString& First() const { return m_first; }
    const QString& Second() const { return m_second; }

    QLineEdit* FirstEdit() const { return m_firstEdit; }
    QLineEdit* SecondEdit() const { return m_secondEdit; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    std::uint8_t m_mode;
    QString m_first;
    QString m_second;
    QLineEdit* m_firstEdit;
    QLineEdit* m_secondEdit;
    QLabel* m_firstLabel;
    QLabel* m_secondLabel;
    CXPButton* m_ok;
};
