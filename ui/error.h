#pragma once
// The one error type commands raise; the application's general error box shows it.

#include <QString>
#include <stdexcept>

namespace lanfeng {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

}  // namespace lanfeng
