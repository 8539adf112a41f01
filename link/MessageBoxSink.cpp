#include "link/MessageBoxSink.h"

#include "platform/MessageBox.h"

namespace {

class CMessageBoxSink : public CMessageSink {
public:
    int ShowAppMessage(const QString& text, unsigned type) override { return AfxMessageBox(text, type); }
    int ShowSystemMessage(const QString& text, const QString& caption, unsigned type) override {
        return SystemMessageBox(nullptr, text, caption, type);
    }
};

} // namespace

CMessageSink& MessageBoxSink() {
    static CMessageBoxSink sink;
    return sink;
}
