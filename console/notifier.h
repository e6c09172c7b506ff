#pragma once

#include <string>
#include <string_view>

#include "link/error.h"

namespace dalmora {

enum class MessageIcon { Exclamation, Critical, Information };

// Beep and message boxes. A box never blocks the caller: polling goes on while it is shown, and
// a box identical to one still open is not shown twice.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void beep() = 0;
    virtual void showMessage(const std::string& title, const std::string& text, MessageIcon icon) = 0;
};

// The console's standard report of a trapped error: a beep, then "Attention! Wrong" with the
// place, the number and the description on three lines. `place` is e.g. "At FM_Main_Load()".
void reportError(Notifier& notifier, std::string_view place, const Error& error);

}  // namespace dalmora
