#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QLineEdit;

// The four octets packed as the control expects: first octet in the most significant byte.
constexpr std::uint32_t MakeIpAddress(std::uint8_t f0, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3) {
    return (std::uint32_t{f0} << 24) | (std::uint32_t{f1} << 16) | (std::uint32_t{f2} << 8) |
           std::uint32_t{f3};
}

// An IPv4 address entry: four fields of 0 to 255 separated by dots. A field may be blank.
// Typing a dot or a third digit moves on to the next field; Tab leaves the control.
class CIPAddressCtrl : public QFrame {
    Q_OBJECT
public:
    static constexpr int FieldCount = 4;

    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    void SetAddress(std::uint32_t address);

    // The four fields, first field first; a blank field reads 0. Returns the count of non-blank fields.
    int GetAddress(std::uint8_t& f0, std::uint8_t& f1, std::uint8_t& f2, std::uint8_t& f3) const;
    int GetAddress(std::array<std::uint8_t, FieldCount>& octets) const;

    QLineEdit* Field(int index) const;

    // Names each field for a screen reader: "<controlName>, part N of 4".
    void NameFields(const QString& controlName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, FieldCount> m_edFields{};
};
