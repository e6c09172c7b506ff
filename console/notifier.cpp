#include "console/notifier.h"

namespace dalmora {

void reportError(Notifier& notifier, std::string_view place, const Error& error) {
    notifier.beep();
    std::string text(place);
    text += "\r\nWrong code: " + std::to_string(error.number());
    text += "\r\nWrong reasons: " + error.description();
    notifier.showMessage("Attention! Wrong", text, MessageIcon::Exclamation);
}

}  // namespace dalmora
